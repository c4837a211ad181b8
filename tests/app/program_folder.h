#pragma once

#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <vector>

namespace korimo::testing {

// One day of a test cycle: temperature (0 = none), flags and remark.
struct TestDay {
    TestDay(double t = 0, bool m = false, bool i = false, QString r = {})
        : temperature(t), menstruation(m), intercourse(i), remark(std::move(r))
    {
    }
    double temperature;
    bool menstruation;
    bool intercourse;
    QString remark;
};

// A temporary program folder, as the program finds its own beside the executable:
// Data/Data.mdb, Data/Data_Demo.mdb and, when asked for, Version.ini.
class ProgramFolder {
public:
    ProgramFolder();
    // The folder with its trailing separator, as the main window takes it.
    QString path() const;
    QString dataFile() const;
    QString demoFile() const;

    void writeVersionIni(const QByteArray& content);
    void removeDataFile();

    // Adds a cycle with its day records to one of the two files; returns its id.
    qint64 addCycle(const QString& file, const QDate& start, int days, const QString& note,
                    const std::vector<TestDay>& values = {});
    qint64 addCycle(const QDate& start, int days, const QString& note = QString(),
                    const std::vector<TestDay>& values = {})
    {
        return addCycle(dataFile(), start, days, note, values);
    }

private:
    QTemporaryDir dir_;
};

} // namespace korimo::testing

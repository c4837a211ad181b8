#include "platform/ini_file.h"

#include <QFile>
#include <QList>
#include <QStringDecoder>

namespace korimo::platform {
namespace {

constexpr qsizetype kMaxValueBytes = 2047;

QString decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GBK");
    return gbk.isValid() ? QString(gbk(bytes)) : QString::fromLatin1(bytes);
}

QByteArray trimmedBlanks(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && (bytes[begin] == ' ' || bytes[begin] == '\t'))
        ++begin;
    while (end > begin && (bytes[end - 1] == ' ' || bytes[end - 1] == '\t' || bytes[end - 1] == '\r'))
        --end;
    return bytes.mid(begin, end - begin);
}

} // namespace

QString readIniString(const QString& file, const QString& section, const QString& key)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray content = f.readAll();
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    bool inSection = false;
    bool sectionSeen = false;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QByteArray line = trimmedBlanks(rawLine);
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            const QString name = decode(trimmedBlanks(line.mid(1, close < 0 ? -1 : close - 1)));
            if (sectionSeen && inSection)
                return {}; // the first section of that name decides
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        if (decode(trimmedBlanks(line.left(eq))).compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QByteArray value = trimmedBlanks(line.mid(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (value.size() > kMaxValueBytes) {
            value.truncate(kMaxValueBytes);
            // Never leave half of a multi-byte character at the cut.
            while (!value.isEmpty() && decode(value).contains(QChar::ReplacementCharacter))
                value.chop(1);
        }
        return decode(value);
    }
    return {};
}

} // namespace korimo::platform

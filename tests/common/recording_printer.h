#pragma once

#include "data/error.h"
#include "platform/printer.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <optional>

namespace korimo::testing {

// A printer for tests: answers the page questions from its fields, paints the page of a job into
// an image (black before anything is drawn, so the chart's white background stands out) and
// records every call. Installed for its lifetime.
class RecordingPrinter final : public platform::Printer {
public:
    RecordingPrinter() { platform::setPrinter(this); }
    ~RecordingPrinter() override
    {
        if (painter_.isActive())
            painter_.end();
        platform::setPrinter(nullptr);
    }
    RecordingPrinter(const RecordingPrinter&) = delete;
    RecordingPrinter& operator=(const RecordingPrinter&) = delete;

    // What the printer answers.
    bool present = true;
    int width = 4800;
    int height = 6800;
    int resolutionX = 600;
    int resolutionY = 600;
    // Errors to raise from painter() or endJob(), when set.
    std::optional<QString> painterError;
    std::optional<QString> endError;

    // Every call in order: "hasDefaultPrinter", "pageWidth", "pageHeight", "dpiX", "dpiY",
    // "beginJob <title>", "painter", "endJob", "abortJob".
    QStringList calls;
    // The page of the last job, as far as it was drawn.
    QImage page;

    bool hasDefaultPrinter() override
    {
        calls << QStringLiteral("hasDefaultPrinter");
        return present;
    }
    int pageWidth() override { return answer(QStringLiteral("pageWidth"), width); }
    int pageHeight() override { return answer(QStringLiteral("pageHeight"), height); }
    int dpiX() override { return answer(QStringLiteral("dpiX"), resolutionX); }
    int dpiY() override { return answer(QStringLiteral("dpiY"), resolutionY); }

    void beginJob(const QString& title) override
    {
        calls << QStringLiteral("beginJob ") + title;
        requirePrinter();
        // One byte per pixel keeps a 600 dpi page at a few tens of megabytes.
        page = QImage(width, height, QImage::Format_Grayscale8);
        page.fill(0);
        painter_.begin(&page);
    }
    QPainter& painter() override
    {
        calls << QStringLiteral("painter");
        if (painterError)
            throw Error(*painterError);
        return painter_;
    }
    void endJob() override
    {
        calls << QStringLiteral("endJob");
        if (endError)
            throw Error(*endError);
        painter_.end();
    }
    void abortJob() override
    {
        calls << QStringLiteral("abortJob");
        if (painter_.isActive())
            painter_.end();
    }

private:
    void requirePrinter() const
    {
        if (!present)
            throw Error(platform::noDefaultPrinterText());
    }
    int answer(const QString& call, int value)
    {
        calls << call;
        requirePrinter();
        return value;
    }

    QPainter painter_;
};

} // namespace korimo::testing

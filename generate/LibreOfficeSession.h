#pragma once

#include "LibreOfficeProcessor.h"

#include <memory>

class Office;
class QThread;
class SparePool;

// A session borrows one office from the pool and gives it back at quit.
class LibreOfficeSession : public OfficeSession
{
public:
    // `home`, for a lent spare: the thread the office goes back to at quit.
    LibreOfficeSession(
        std::shared_ptr<SparePool> pool, std::unique_ptr<Office> office, QThread *home = nullptr);
    // Without quit the office may hold anything: it ends.
    ~LibreOfficeSession() override;

    void open(const QString &path, bool readOnly) override;
    // Keeps the template open in the office until quit: the next memo of it costs the
    // office about a third of a fresh load and fill.
    void openTemplate(const QString &path) override;
    void setBookmarkText(const QString &bookmark, const QString &text) override;
    void saveAs(const QString &path) override;
    void exportAs(const QString &path, DocumentFormat format) override;
    // The office runs headless and never asks anything: there is nothing to turn off.
    void setDisplayAlerts(bool) override { }
    void close() override;
    QImage copyAsPicture() override;
    void closeActiveDocumentWithoutSaving() override;
    void quit() override;
    bool isRunning() const override;
    int pageCount() override;
    void abort() override;
    void ready() override { office(); }
    TemplateFindings makeTemplateSafe(const QString &source, TemplateKind kind,
        const QString &destination, const TemplateLimits &limits) override;

    qint64 processId() const override { return mProcessId; }
    QString profileFolder() const override { return mProfileFolder; }
    void retire() override;

private:
    Office &office(const QString &what = {});

    std::shared_ptr<SparePool> mPool;
    std::unique_ptr<Office> mOffice;
    QThread *mHome;
    qint64 mProcessId;
    QString mProfileFolder;
};

#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

// The four status-bar figures. The main window shows them; the CPU windows raise them.
class StatusTotals : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Start of an update cycle: the running sum of current CPU time starts afresh. The text shown
    // stays as it is until the first CPU of the cycle reports.
    void resetCurrent();
    // A CPU's seconds for the current cycle. A second reading of the same CPU within one cycle
    // replaces its earlier contribution instead of counting it twice.
    void setContribution(const void *cpu, double seconds);
    double currentSeconds() const;

    // Texts of the four value labels.
    QString currentTimeText() const; // "Current CPU Time"
    QString downloaded() const { return m_downloaded; } // "Downloaded"
    QString uploaded() const { return m_uploaded; } // "Uploaded"
    QString totalTimeText() const { return m_totalTime; } // "Total Uploaded CPU Time"

    void setDownloaded(const QString &text);
    void setUploaded(const QString &text);
    void setTotalTimeText(const QString &text);

    // Whether an account file with these counts is more advanced than the one shown: either its
    // download count or its result count (leading numbers) is higher.
    static bool Leads(const QString &shownDownloaded, const QString &shownUploaded, const QString &downloaded,
        const QString &uploaded);
    static bool Leads(double shownDownloaded, double shownUploaded, double downloaded, double uploaded);
    // The leading numbers of downloaded() and uploaded().
    double downloadedCount() const { return m_downloadedCount; }
    double uploadedCount() const { return m_uploadedCount; }

Q_SIGNALS:
    void changed();

private:
    void setText(QString &field, const QString &text);

    // In order of first contribution, so the sum does not depend on hashing.
    QList<QPair<const void *, double>> m_contributions;
    QString m_currentTime = QStringLiteral("0");
    QString m_downloaded = QStringLiteral("0");
    QString m_uploaded = QStringLiteral("0");
    QString m_totalTime = QStringLiteral("0");
    double m_downloadedCount = 0;
    double m_uploadedCount = 0;
};

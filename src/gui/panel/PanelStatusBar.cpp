#include "panel/PanelStatusBar.h"

#include "monitor/StatusTotals.h"
#include "shared/Framework.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

namespace {

class ValueLabel : public QLabel
{
public:
    using QLabel::QLabel;

    void setValue(const QString &text)
    {
        if (text == this->text())
            return;
        setText(text);
        setToolTip(text);
        m_elidedWidth = -1;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QRect r = contentsRect();
        if (m_elidedWidth != r.width()) {
            m_elided = fontMetrics().elidedText(text(), Qt::ElideRight, r.width());
            m_elidedWidth = r.width();
        }
        p.setPen(palette().color(foregroundRole()));
        p.drawText(r, int(alignment()), m_elided);
    }

private:
    QString m_elided;
    int m_elidedWidth = -1; // the width m_elided was made for
};

} // namespace

PanelStatusBar::PanelStatusBar(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("picStatus"));
    setFrameShape(QFrame::StyledPanel);
    setFixedHeight(Framework::TwipsToPixelsY(495, this));
    auto *grid = new QGridLayout(this);
    // Two rows of 195 twips fill the bar's 495 twips; no extra spacing, or the headings' underline
    // is cut off.
    grid->setContentsMargins(Framework::TwipsToPixelsX(60, this), 0, Framework::TwipsToPixelsX(60, this), 0);
    grid->setVerticalSpacing(0);

    QFont headingFont = Framework::FormFont();
    headingFont.setUnderline(true);
    struct Column
    {
        const char *heading;
        const char *headingText;
        const char *value;
        QLabel **label;
        int width;
    };
    const Column columns[] = {
        { "lblReceived", "Downloaded", "lblDownloaded", &m_downloaded, 1215 },
        { "Label4", "Uploaded", "lblUploaded", &m_uploaded, 1215 },
        { "Label3_0", "Total Uploaded CPU Time", "lblTotalTime", &m_totalTime, 4815 },
        { "Label3_1", "Current CPU Time", "lblCurrentTime", &m_currentTime, 4815 },
    };
    int col = 0;
    for (const Column &c : columns) {
        auto *heading = new QLabel(QLatin1String(c.headingText), this);
        heading->setObjectName(QLatin1String(c.heading));
        heading->setFont(headingFont);
        heading->setAlignment(Qt::AlignCenter);
        auto *value = new ValueLabel(QStringLiteral("0"), this);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        value->setObjectName(QLatin1String(c.value));
        value->setAlignment(Qt::AlignCenter);
        value->setMinimumWidth(Framework::TwipsToPixelsX(600, this));
        *c.label = value;
        grid->addWidget(heading, 0, col);
        grid->addWidget(value, 1, col);
        grid->setColumnStretch(col, c.width);
        ++col;
    }
}

void PanelStatusBar::show(const StatusTotals &totals)
{
    static_cast<ValueLabel *>(m_downloaded)->setValue(totals.downloaded());
    static_cast<ValueLabel *>(m_uploaded)->setValue(totals.uploaded());
    static_cast<ValueLabel *>(m_totalTime)->setValue(totals.totalTimeText());
    static_cast<ValueLabel *>(m_currentTime)->setValue(totals.currentTimeText());
}

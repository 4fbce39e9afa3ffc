#pragma once

#include <QLabel>

// A one-line label that shortens its text with "…" where it does not fit, and shows the whole
// text as its tip. text() stays the whole text.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget *parent = nullptr);

    void setFullText(const QString &text);
    // What is drawn at the label's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    QSize minimumSizeHint() const override;

private:
    Qt::TextElideMode m_mode;
};

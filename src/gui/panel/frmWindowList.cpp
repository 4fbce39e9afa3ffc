#include "panel/frmWindowList.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVBoxLayout>

frmWindowList::frmWindowList(QMdiArea *area, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmWindowList"));
    setWindowTitle(QStringLiteral("Windows"));
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("tbFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Type part of a name"));
    m_filter->setClearButtonEnabled(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstWindows"));
    for (QMdiSubWindow *sub : area->subWindowList()) {
        if (!sub->isVisible())
            continue;
        auto *item = new QListWidgetItem(sub->windowTitle(), m_list);
        item->setData(Qt::UserRole, QVariant::fromValue(QPointer<QMdiSubWindow>(sub)));
        if (sub == area->activeSubWindow())
            m_list->setCurrentItem(item);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    connect(m_filter, &QLineEdit::textChanged, this, &frmWindowList::applyFilter);
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The arrow keys move through the list while the typing stays in the filter.
    m_filter->installEventFilter(this);
    resize(360, 420);
}

void frmWindowList::applyFilter(const QString &text)
{
    QListWidgetItem *firstShown = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        const bool shown = item->text().contains(text.trimmed(), Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown)
            firstShown = item;
    }
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(firstShown);
}

QMdiSubWindow *frmWindowList::chosen() const
{
    if (result() != Accepted || !m_list->currentItem() || m_list->currentItem()->isHidden())
        return nullptr;
    return m_list->currentItem()->data(Qt::UserRole).value<QPointer<QMdiSubWindow>>();
}

bool frmWindowList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_filter && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(m_list, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

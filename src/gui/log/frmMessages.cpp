#include "log/frmMessages.h"

#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/bksPublicModule.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

namespace {

constexpr int MinWidthTwips = 3045;
constexpr int MinHeightTwips = 1485;
constexpr int MarginTwips = 20;

QPointer<frmMessages> &theLog()
{
    static QPointer<frmMessages> log;
    return log;
}

QPointer<QMdiArea> &theArea()
{
    static QPointer<QMdiArea> area;
    return area;
}

// The document keeps a line break as one block separator, the log counts it as CR LF. A block's
// start in the log is therefore its document position plus one for every break before it.
qsizetype logOffsetOfBlock(const QTextBlock &block)
{
    return block.position() + block.blockNumber();
}

// The document position of a log offset, found by bisecting the blocks (the log offsets of block
// starts grow with the block number). An offset between the CR and the LF of a break maps past
// the break, as half a break cannot be kept.
int documentPosition(const QTextDocument *doc, qsizetype offset)
{
    int lo = 0;
    int hi = doc->blockCount() - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (logOffsetOfBlock(doc->findBlockByNumber(mid)) <= offset)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock block = doc->findBlockByNumber(lo);
    const qsizetype within = offset - logOffsetOfBlock(block);
    return block.position() + int(qMin(within, qsizetype(block.length())));
}

void reportToLog(const QString &text)
{
    if (frmMessages::exists())
        frmMessages::Append(text);
    else
        std::fprintf(stderr, "tavrik: %s\n", qUtf8Printable(text));
}

} // namespace

frmMessages::frmMessages(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMessages"));
    setWindowTitle(QStringLiteral("Messages"));
    m_tbMessage = new QPlainTextEdit(this);
    m_tbMessage->setObjectName(QStringLiteral("tbMessage"));
    m_tbMessage->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tbMessage->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_tbMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // An undo history would keep every entry and every cut for the life of the program.
    m_tbMessage->setUndoRedoEnabled(false);
    Framework::RegisterWindow(this);
}

frmMessages::~frmMessages()
{
    if (theLog() == this)
        SettingsStore::setFailureReporter({});
    Framework::UnregisterWindow(this);
}

frmMessages *frmMessages::instance()
{
    if (!theLog()) {
        auto *log = new frmMessages;
        theLog() = log;
        log->placeIn(theArea());
        log->load();
        SettingsStore::setFailureReporter(reportToLog);
    }
    return theLog();
}

bool frmMessages::exists()
{
    return !theLog().isNull();
}

void frmMessages::Append(const QString &sMessage)
{
    instance()->setMessage(sMessage);
}

void frmMessages::Append(const QStringList &messages)
{
    if (!messages.isEmpty())
        instance()->setMessages(messages);
}

void frmMessages::setMdiArea(QMdiArea *area)
{
    theArea() = area;
    if (theLog())
        theLog()->placeIn(area);
}

void frmMessages::unloadInstance()
{
    frmMessages *log = theLog();
    if (!log)
        return;
    // The log is going away, so a failed save is better told on stderr than in it.
    SettingsStore::setFailureReporter({});
    log->save();
    theLog() = nullptr;
    QWidget *frame = Framework::FrameOf(log);
    frame->hide();
    delete frame;
}

void frmMessages::setMessage(const QString &sMessage)
{
    setMessages(QStringList { sMessage });
}

void frmMessages::setMessages(const QStringList &messages)
{
    QTextDocument *doc = m_tbMessage->document();
    QTextCursor cursor(doc);
    // One edit block: the text box lays itself out once for all the entries, not once for each.
    cursor.beginEditBlock();
    for (const QString &message : messages) {
        const qsizetype cut = MessageLog::CharsToCut(length());
        if (cut > 0) {
            cursor.setPosition(0);
            cursor.setPosition(documentPosition(doc, cut), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(MessageLog::Entry(message));
    }
    cursor.endEditBlock();
    // Moving the caret scrolls the view; with updates off the view is repainted once at the next
    // paint instead of being scrolled pixel by pixel for every entry.
    QWidget *view = m_tbMessage->viewport();
    const bool updates = view->updatesEnabled();
    view->setUpdatesEnabled(false);
    m_tbMessage->setTextCursor(cursor);
    view->setUpdatesEnabled(updates);
}

QString frmMessages::Message() const
{
    QString text = m_tbMessage->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    return text;
}

qsizetype frmMessages::length() const
{
    const QTextDocument *doc = m_tbMessage->document();
    // characterCount() counts each break once plus the document's closing separator.
    return (doc->characterCount() - 1) + (doc->blockCount() - 1);
}

void frmMessages::setLogVisible(bool visible)
{
    QWidget *frame = Framework::FrameOf(this);
    if (!visible) {
        frame->hide();
        return;
    }
    const bool wasHidden = frame->isHidden();
    frame->show();
    auto *sub = qobject_cast<QMdiSubWindow *>(frame);
    if (wasHidden && sub && sub->mdiArea())
        sub->mdiArea()->setActiveSubWindow(sub);
}

bool frmMessages::isLogVisible() const
{
    return !Framework::FrameOf(this)->isHidden();
}

void frmMessages::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Growing the window from here resizes it again.
    if (m_resizing)
        return;
    m_resizing = true;
    QWidget *frame = Framework::FrameOf(this);
    if (!frame->isMinimized()) {
        const QSize least(
            Framework::TwipsToPixelsX(MinWidthTwips, frame), Framework::TwipsToPixelsY(MinHeightTwips, frame));
        if (frame->width() < least.width() || frame->height() < least.height())
            frame->resize(frame->size().expandedTo(least));
        const int mx = Framework::TwipsToPixelsX(MarginTwips, this);
        const int my = Framework::TwipsToPixelsY(MarginTwips, this);
        m_tbMessage->setGeometry(rect().adjusted(mx, my, -mx, -my));
    }
    m_resizing = false;
}

void frmMessages::closeEvent(QCloseEvent *event)
{
    event->ignore();
    setLogVisible(false);
    Q_EMIT closedByUser();
}

void frmMessages::load()
{
    int state = SettingsStore::getInt16(Schema::Message, Schema::WindowState, QStringLiteral("0")).value_or(0);
    if (state != 1 && state != 2)
        state = 0;
    // A minimised or maximised log still needs a size to come back to; the defaults serve.
    Framework::SetGeometryTwips(this,
        state == 0 ? SettingsStore::getPlacement(Schema::Message, Schema::MessagePlacement) : Schema::MessagePlacement);
    Framework::SetWindowStateCode(this, state);
    Framework::FrameOf(this)->show();
}

void frmMessages::save() const
{
    const int state = Framework::WindowStateCode(this);
    const SettingsStore::Batch batch;
    SettingsStore::saveInt(Schema::Message, Schema::WindowState, state);
    if (state != 1)
        SettingsStore::savePlacement(Schema::Message, Framework::GeometryTwips(this));
}

void frmMessages::placeIn(QMdiArea *area)
{
    QWidget *frame = Framework::FrameOf(this);
    auto *sub = qobject_cast<QMdiSubWindow *>(frame);
    if (sub ? sub->mdiArea() == area : area == nullptr)
        return;
    const bool shown = !frame->isHidden();
    const QRect twips = Framework::GeometryTwips(this);
    if (sub) {
        sub->setWidget(nullptr);
        setParent(nullptr, Qt::Window);
        delete sub;
    }
    if (area) {
        sub = area->addSubWindow(this);
        connect(sub, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates before, Qt::WindowStates now) {
            const bool was = before.testFlag(Qt::WindowActive);
            const bool is = now.testFlag(Qt::WindowActive);
            if (is && !was)
                Q_EMIT activated();
            else if (was && !is)
                Q_EMIT deactivated();
        });
    }
    if (shown) {
        Framework::SetGeometryTwips(this, twips);
        Framework::FrameOf(this)->show();
    }
}

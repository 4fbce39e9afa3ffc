#include "log/frmMessages.h"

#include "log/SessionLog.h"
#include "panel/GridPlacement.h"
#include "settings/Schema.h"
#include "settings/SettingsStore.h"
#include "shared/Framework.h"
#include "shared/Prompt.h"
#include "shared/bksPublicModule.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <utility>

namespace {

constexpr int MinWidthTwips = 3045;
constexpr int MinHeightTwips = 1485;
constexpr int MarginTwips = 20;
// Highlighting stops here, so a one-letter search in a long log stays quick.
constexpr int MatchesHighlighted = 1000;

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

QPointer<SessionLog> &theSessionLog()
{
    static QPointer<SessionLog> log;
    return log;
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

// An entry as the log counts it: every line break (CR LF, a lone CR or a lone LF, or one of the
// separators the text box also breaks at) as CR LF, appended to text.
void appendLogText(QString &text, const QString &entry)
{
    const qsizetype n = entry.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = entry.at(i).unicode();
        if (u != u'\r' && u != u'\n' && u != QChar::ParagraphSeparator && u != 0xfdd0 && u != 0xfdd1)
            continue;
        text.append(entry.constData() + from, i - from);
        text += QLatin1String("\r\n");
        if (u == u'\r' && i + 1 < n && entry.at(i + 1) == u'\n')
            ++i;
        from = i + 1;
    }
    text.append(entry.constData() + from, n - from);
}

void reportToLog(const QString &text)
{
    if (frmMessages::exists())
        frmMessages::Append(text, LogKind::Failure);
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
    // Every cycle brings a screenful of new lines; plain text in a script that needs no shaping is
    // laid out without it (it cost more than reading the CPUs' files). Other scripts still are.
    QFont plain = m_tbMessage->font();
    plain.setStyleStrategy(QFont::PreferNoShaping);
    m_tbMessage->setFont(plain);
    // With both bars always shown, a change of their range has nothing to show or hide; laying
    // the box out again for it made the panel's area recount every CPU window's region each cycle.
    for (QScrollBar *bar : { m_tbMessage->horizontalScrollBar(), m_tbMessage->verticalScrollBar() })
        QObject::disconnect(bar, SIGNAL(rangeChanged(int, int)), m_tbMessage, SLOT(_q_showOrHideScrollBars()));
    m_tbErrors = new QPlainTextEdit(this);
    m_tbErrors->setObjectName(QStringLiteral("tbErrors"));
    m_tbErrors->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_tbErrors->setReadOnly(true);
    m_tbErrors->setUndoRedoEnabled(false);
    m_tbErrors->hide();
    for (QPlainTextEdit *view : { m_tbMessage, m_tbErrors }) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { showPopup(view, pos); });
    }

    m_mnuLogFind = new QAction(QStringLiteral("&Find..."), this);
    m_mnuLogFind->setObjectName(QStringLiteral("mnuLogFind"));
    m_mnuLogFind->setShortcut(QKeySequence::Find);
    m_mnuLogErrorsOnly = new QAction(QStringLiteral("&Errors Only"), this);
    m_mnuLogErrorsOnly->setObjectName(QStringLiteral("mnuLogErrorsOnly"));
    m_mnuLogErrorsOnly->setCheckable(true);
    m_mnuLogErrorsOnly->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    m_mnuLogSaveAs = new QAction(QStringLiteral("&Save Log As..."), this);
    m_mnuLogSaveAs->setObjectName(QStringLiteral("mnuLogSaveAs"));
    // The platform's Save As key is empty outside some desktops; Ctrl+Shift+S holds everywhere.
    QList<QKeySequence> saveAsKeys { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) };
    for (const QKeySequence &k : QKeySequence::keyBindings(QKeySequence::SaveAs))
        if (!saveAsKeys.contains(k))
            saveAsKeys.append(k);
    m_mnuLogSaveAs->setShortcuts(saveAsKeys);
    for (QAction *a : { m_mnuLogFind, m_mnuLogErrorsOnly, m_mnuLogSaveAs }) {
        // Keys of the log alone: they must not reach the main window's menus.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    connect(m_mnuLogFind, &QAction::triggered, this, &frmMessages::showFindBar);
    connect(m_mnuLogErrorsOnly, &QAction::toggled, this, &frmMessages::setErrorsOnly);
    connect(m_mnuLogSaveAs, &QAction::triggered, this, &frmMessages::saveLogAs);
    buildFindBar();
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

void frmMessages::Append(const QString &sMessage, LogKind kind)
{
    Append(LogEntries { LogEntry { sMessage, kind, 0, QString(), 0, QDateTime::currentDateTimeUtc() } });
}

void frmMessages::Append(const QStringList &messages)
{
    LogEntries entries;
    entries.reserve(messages.size());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QString &m : messages)
        entries.append({ m, LogKind::Note, 0, QString(), 0, now });
    Append(entries);
}

void frmMessages::Append(const LogEntries &entries)
{
    if (entries.isEmpty())
        return;
    frmMessages *log = instance();
    if (!log->m_held) {
        log->setMessages(entries);
        return;
    }
    if (log->m_waiting.isEmpty()) {
        QTimer::singleShot(100, log, [log] {
            if (!log->m_waiting.isEmpty())
                log->setMessages(std::exchange(log->m_waiting, {}));
        });
    }
    log->m_waiting += entries;
}

void frmMessages::HoldEntries(bool hold)
{
    if (!exists())
        return;
    frmMessages *log = instance();
    log->m_held = hold;
    if (!hold && !log->m_waiting.isEmpty())
        log->setMessages(std::exchange(log->m_waiting, {}));
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

void frmMessages::setSessionLog(SessionLog *log)
{
    if (theSessionLog())
        QObject::disconnect(theSessionLog(), nullptr, nullptr, nullptr);
    theSessionLog() = log;
    if (!log)
        return;
    QObject::connect(log, &SessionLog::saved, log, [](const QString &path, bool ok, bool complete) {
        const QString shown = QDir::toNativeSeparators(path);
        if (!ok)
            Append(QStringLiteral("The session's log could not be saved to %1.").arg(shown), LogKind::Failure);
        else if (!complete)
            Append(QStringLiteral("The session's log was saved to %1, but it is incomplete: some entries could not "
                                  "be written to the session's files.")
                       .arg(shown),
                LogKind::Failure);
        else
            Append(QStringLiteral("The session's log was saved to %1.").arg(shown));
    });
    QObject::connect(log, &SessionLog::failed, log, [](const QString &what) {
        std::fprintf(stderr, "tavrik: %s\n", qUtf8Printable(what));
        Append(what, LogKind::Failure);
    });
}

void frmMessages::setMessage(const QString &sMessage)
{
    setMessages(QStringList { sMessage });
}

void frmMessages::setMessages(const QStringList &messages)
{
    LogEntries entries;
    for (const QString &m : messages)
        entries.append({ m, LogKind::Note, 0, QString(), 0, QDateTime::currentDateTimeUtc() });
    setMessages(entries);
}

void frmMessages::setMessages(const LogEntries &entries)
{
    QStringList messages;
    messages.reserve(entries.size());
    for (const LogEntry &e : entries)
        messages.append(e.text);
    if (theSessionLog())
        theSessionLog()->append(messages);
    if (m_digest.add(entries) && errorsOnly())
        showErrors();

    QTextDocument *doc = m_tbMessage->document();
    // The size rule only ever cuts from the front, so whatever the entries do to the log, it ends
    // as one stretch of the old text followed by the new: the rule is run on lengths alone, and
    // what would be cut again before the batch ends never goes into the text box.
    const qsizetype oldLength = length();
    QString added;
    qsizetype start = 0; // where the log ends up beginning, counted in the old text then the new
    for (const QString &message : messages) {
        const qsizetype cut = MessageLog::CharsToCut(oldLength + added.size() - start);
        if (cut > 0) {
            start += cut;
            if (start < oldLength) {
                // Half a break cannot be kept: the text box drops the whole of it.
                const int at = documentPosition(doc, start);
                start = at + doc->findBlock(at).blockNumber();
            } else if (start - oldLength < added.size() && added.at(start - oldLength) == u'\n' && start > oldLength
                && added.at(start - oldLength - 1) == u'\r') {
                ++start;
            }
        }
        appendLogText(added, MessageLog::Entry(message));
    }

    QTextCursor cursor(doc);
    // One edit block: the text box lays itself out once for all the entries, not once for each.
    cursor.beginEditBlock();
    if (start >= oldLength) {
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        added.remove(0, start - oldLength);
    } else if (start > 0) {
        cursor.setPosition(documentPosition(doc, start), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    // Not movePosition(End): that lays out the last line to find where the caret goes, and so
    // every line was laid out as it went in instead of when first shown.
    cursor.setPosition(doc->characterCount() - 1);
    cursor.insertText(added);
    cursor.endEditBlock();
    // Moving the caret scrolls the view; with updates off the view is repainted once at the next
    // paint instead of being scrolled pixel by pixel for every entry.
    // Where they are off already (the panel's area while its windows are made), they are left
    // alone: switching them off here would keep them off after the area switches them on.
    QWidget *view = m_tbMessage->viewport();
    // Only a switch-off of its own is kept: one inherited from a parent (the panel's area while its
    // windows are made) must not outlast the parent's.
    const bool offOfItsOwn = view->testAttribute(Qt::WA_ForceUpdatesDisabled);
    view->setUpdatesEnabled(false);
    m_tbMessage->setTextCursor(cursor);
    if (!offOfItsOwn)
        view->setUpdatesEnabled(true);
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
        layoutControls();
    }
    m_resizing = false;
}

void frmMessages::layoutControls()
{
    const int mx = Framework::TwipsToPixelsX(MarginTwips, this);
    const int my = Framework::TwipsToPixelsY(MarginTwips, this);
    QRect inner = rect().adjusted(mx, my, -mx, -my);
    if (!m_findBar->isHidden()) {
        const int h = layoutFindBar(inner.width());
        m_findBar->setGeometry(inner.left(), inner.bottom() - h + 1, inner.width(), h);
        inner.setBottom(inner.bottom() - h - my);
    }
    m_tbMessage->setGeometry(inner);
    m_tbErrors->setGeometry(inner);
}

int frmMessages::layoutFindBar(int width)
{
    // Groups fill a line while their natural widths fit; the search field takes what is left.
    const int gap = qMax(4, m_findBar->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing));
    int y = 0;
    for (qsizetype first = 0; first < m_findGroups.size();) {
        qsizetype end = first;
        int used = 0;
        int height = 0;
        while (end < m_findGroups.size()) {
            const int w = m_findGroups[end]->sizeHint().width();
            if (end > first && used + gap + w > width)
                break;
            used += (end > first ? gap : 0) + w;
            height = qMax(height, m_findGroups[end]->sizeHint().height());
            ++end;
        }
        int x = 0;
        for (qsizetype i = first; i < end; ++i) {
            int w = m_findGroups[i]->sizeHint().width();
            if (i == 0)
                w += width - used; // the field stretches
            m_findGroups[i]->setGeometry(x, y, qMax(0, qMin(w, width - x)), height);
            x += w + gap;
        }
        y += height + (end < m_findGroups.size() ? gap : 0);
        first = end;
    }
    return y;
}

void frmMessages::showErrors()
{
    m_tbErrors->setPlainText(m_digest.lines().join(u'\n'));
    m_tbErrors->moveCursor(QTextCursor::End);
}

QPlainTextEdit *frmMessages::visibleView() const
{
    return errorsOnly() ? m_tbErrors : m_tbMessage;
}

void frmMessages::setErrorsOnly(bool on)
{
    if (m_mnuLogErrorsOnly->isChecked() != on) {
        m_mnuLogErrorsOnly->setChecked(on); // comes back here through toggled
        return;
    }
    if (on) {
        showErrors();
    } else {
        m_tbErrors->clear();
    }
    m_tbErrors->setVisible(on);
    m_tbMessage->setVisible(!on);
    if (!m_findBar->isHidden())
        highlightMatches(m_tbFind->text());
}

bool frmMessages::errorsOnly() const
{
    return m_mnuLogErrorsOnly->isChecked();
}

void frmMessages::buildFindBar()
{
    m_findBar = new QWidget(this);
    m_findBar->setObjectName(QStringLiteral("frameFind"));
    // Three groups that wrap like words: side by side while the log is wide enough, one below
    // the other when it is not, so that no control is squeezed past reading.
    auto group = [this] {
        auto *g = new QWidget(m_findBar);
        auto *row = new QHBoxLayout(g);
        row->setContentsMargins(0, 0, 0, 0);
        m_findGroups.append(g);
        return row;
    };
    QHBoxLayout *field = group();
    QHBoxLayout *moves = group();
    QHBoxLayout *view = group();
    auto *caption = new QLabel(QStringLiteral("Find:"), m_findBar);
    caption->setObjectName(QStringLiteral("lblFind"));
    m_tbFind = new QLineEdit(m_findBar);
    m_tbFind->setObjectName(QStringLiteral("tbFind"));
    m_tbFind->setClearButtonEnabled(true);
    m_tbFind->setMinimumWidth(m_tbFind->fontMetrics().averageCharWidth() * 16);
    caption->setBuddy(m_tbFind);
    auto button = [this](QHBoxLayout *row, const char *name, const QString &text, const QString &tip) {
        auto *b = new QToolButton(m_findBar);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(tip);
        row->addWidget(b);
        return b;
    };
    field->addWidget(caption);
    field->addWidget(m_tbFind, 1);
    QToolButton *previous = button(moves, "cmdFindPrevious", QStringLiteral("Previous"), QStringLiteral("Shift+F3"));
    QToolButton *next = button(moves, "cmdFindNext", QStringLiteral("Next"), QStringLiteral("F3"));
    QToolButton *errors = button(view, "cmdErrorsOnly", QString(), QString());
    errors->setDefaultAction(m_mnuLogErrorsOnly);
    errors->setText(QStringLiteral("Errors only"));
    m_lblFindStatus = new QLabel(m_findBar);
    m_lblFindStatus->setObjectName(QStringLiteral("lblFindStatus"));
    m_lblFindStatus->setMinimumWidth(m_lblFindStatus->fontMetrics().horizontalAdvance(QStringLiteral("Not found")));
    view->addWidget(m_lblFindStatus);
    QToolButton *close = button(view, "cmdFindClose", QStringLiteral("×"), QStringLiteral("Close the find bar (Esc)"));
    m_findBar->hide();

    auto find = [this](bool backwards) {
        if (m_findBar->isHidden())
            showFindBar();
        else
            findText(m_tbFind->text(), backwards);
    };
    connect(next, &QToolButton::clicked, this, [find] { find(false); });
    connect(previous, &QToolButton::clicked, this, [find] { find(true); });
    m_tbFind->installEventFilter(this);
    connect(m_tbFind, &QLineEdit::textEdited, this, [this](const QString &text) {
        // Search as the user types, from where the last match began.
        QPlainTextEdit *view = visibleView();
        QTextCursor c = view->textCursor();
        c.setPosition(c.selectionStart());
        view->setTextCursor(c);
        findText(text);
    });
    connect(close, &QToolButton::clicked, this, [this] {
        m_findBar->hide();
        highlightMatches(QString());
        layoutControls();
        visibleView()->setFocus();
    });
    auto *findNext = new QShortcut(QKeySequence::FindNext, this, [find] { find(false); });
    auto *findPrevious = new QShortcut(QKeySequence::FindPrevious, this, [find] { find(true); });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_findBar, [close] { close->click(); });
    for (QShortcut *s : { findNext, findPrevious, escape })
        s->setContext(Qt::WidgetWithChildrenShortcut);
}

bool frmMessages::eventFilter(QObject *watched, QEvent *event)
{
    // Enter finds the next match, Shift+Enter the one before.
    if (watched == m_tbFind && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            findText(m_tbFind->text(), key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMessages::showFindBar()
{
    const bool wasHidden = m_findBar->isHidden();
    m_findBar->show();
    if (wasHidden)
        layoutControls();
    // The selected text is what the user most likely looks for.
    const QString selected = visibleView()->textCursor().selectedText();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_tbFind->setText(selected);
    m_tbFind->selectAll();
    m_tbFind->setFocus();
    highlightMatches(m_tbFind->text());
}

bool frmMessages::findText(const QString &text, bool backwards)
{
    QPlainTextEdit *view = visibleView();
    highlightMatches(text);
    if (text.isEmpty()) {
        m_lblFindStatus->clear();
        return false;
    }
    const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = view->document()->find(text, view->textCursor(), flags);
    if (found.isNull()) {
        // Round again from the other end.
        QTextCursor from(view->document());
        from.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
        found = view->document()->find(text, from, flags);
    }
    if (found.isNull()) {
        m_lblFindStatus->setText(QStringLiteral("Not found"));
        return false;
    }
    view->setTextCursor(found);
    view->ensureCursorVisible();
    return true;
}

void frmMessages::highlightMatches(const QString &text)
{
    for (QPlainTextEdit *view : { m_tbMessage, m_tbErrors }) {
        QList<QTextEdit::ExtraSelection> marks;
        if (view == visibleView() && !text.isEmpty()) {
            QTextCharFormat format;
            format.setBackground(QColor(255, 230, 90));
            QTextCursor c = view->document()->find(text, 0);
            while (!c.isNull() && marks.size() < MatchesHighlighted) {
                marks.append({ c, format });
                c = view->document()->find(text, c);
            }
            m_lblFindStatus->setText(marks.isEmpty()    ? QStringLiteral("Not found")
                    : marks.size() == 1                 ? QStringLiteral("1 match")
                    : marks.size() < MatchesHighlighted ? QStringLiteral("%1 matches").arg(marks.size())
                                                        : QStringLiteral("%1+ matches").arg(MatchesHighlighted));
        }
        view->setExtraSelections(marks);
    }
}

void frmMessages::showPopup(QPlainTextEdit *view, const QPoint &pos)
{
    QMenu *menu = view->createStandardContextMenu(pos);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(m_mnuLogFind);
    menu->addAction(m_mnuLogErrorsOnly);
    menu->addAction(m_mnuLogSaveAs);
    menu->popup(view->viewport()->mapToGlobal(pos));
}

void frmMessages::saveLogAs()
{
    const QString suggested
        = QDir(QDir::homePath())
              .filePath(QStringLiteral("tavrik-%1.log").arg(QDate::currentDate().toString(Qt::ISODate)));
    const QString path = Prompt::SaveFileName(
        this, QStringLiteral("Save Log As"), suggested, QStringLiteral("Log files (*.log *.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    if (SessionLog *log = theSessionLog()) {
        log->saveSessionTo(path); // written behind the entries still queued; the log tells the end
        return;
    }
    QSaveFile out(path);
    const bool ok = out.open(QIODevice::WriteOnly) && out.write(Message().toUtf8()) >= 0 && out.commit();
    if (!ok)
        Append(QStringLiteral("The session's log could not be saved to %1.").arg(QDir::toNativeSeparators(path)),
            LogKind::Failure);
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
    m_storedPlace = state != 0 || !SettingsStore::get(Schema::Message, Schema::Top, QString()).isEmpty();
    // A minimised or maximised log still needs a size to come back to; the defaults serve.
    Framework::SetGeometryTwips(this,
        state == 0 ? SettingsStore::getPlacement(Schema::Message, Schema::MessagePlacement) : Schema::MessagePlacement);
    Framework::SetWindowStateCode(this, state);
    Framework::FrameOf(this)->show();
}

void frmMessages::placeBelow(const QList<QRect> &windows)
{
    auto *sub = qobject_cast<QMdiSubWindow *>(Framework::FrameOf(this));
    if (m_storedPlace || !sub || !sub->mdiArea())
        return;
    m_storedPlace = true;
    // Eight lines of text, with the frame, the margins and the scroll bar around them.
    const int chrome = sub->height() - height() + 2 * Framework::TwipsToPixelsY(MarginTwips, this)
        + 2 * m_tbMessage->frameWidth() + m_tbMessage->horizontalScrollBar()->sizeHint().height();
    const int minHeight = 8 * m_tbMessage->fontMetrics().lineSpacing() + chrome;
    sub->setGeometry(GridPlacement::BelowGrid(windows, sub->mdiArea()->viewport()->size(), minHeight));
    sub->raise(); // over the last row when the grid fills the area
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

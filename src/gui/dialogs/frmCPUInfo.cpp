#include "dialogs/frmCPUInfo.h"

#include "dialogs/DialogLayout.h"
#include "dialogs/DialogRules.h"
#include "settings/Schema.h"
#include "shared/Framework.h"
#include "shared/bksPublicWindows.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QValidator>

namespace {

constexpr int MaxTypedName = DialogRules::MaxCpuNameLength;
const QString NewCPUName = QStringLiteral("New CPU");
// Proposed for the path when the name box is left with both boxes blank.
const QString AnyMachineName = QStringLiteral("CPU");

// The stored list of CPUs separates names with commas, so a typed name cannot hold one. A refused
// comma is told of, beside the box.
class NoCommaValidator : public QValidator
{
public:
    NoCommaValidator(std::function<void()> refused, QObject *parent)
        : QValidator(parent)
        , m_refused(std::move(refused))
    {
    }
    State validate(QString &input, int &) const override
    {
        if (!input.contains(u','))
            return Acceptable;
        m_refused();
        return Invalid;
    }

private:
    std::function<void()> m_refused;
};

// The form was laid out for MS Sans Serif 8; where it is missing, a family of about its width keeps
// the texts inside their places.
frmCPUInfo::Script &currentScript()
{
    static frmCPUInfo::Script script;
    return script;
}

} // namespace

class frmCPUInfo::Private : public QObject
{
public:
    explicit Private(frmCPUInfo *q)
        : q(q)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override;
    void FillForm();
    void ReadForm();
    void Command1_Click(int index);
    void cmdBrowse_Click();
    void tbCPUName_Change();
    void tbCPUName_LostFocus();
    void showNameNote(bool commaRefused);
    void checkFolder();
    void layoutNotes();

    frmCPUInfo *q;
    QString name;
    QString path;
    bool putOnDisplay = false;
    bool allowUpdates = false;
    frmCPUInfo::NameCheck nameCheck;

    QLabel *refusal = nullptr; // why Close did not take the name
    QLineEdit *tbCPUName = nullptr;
    QLineEdit *tbSetiDir = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QPushButton *close = nullptr; // Command1_0
    QPushButton *cancel = nullptr; // Command1_1
    QLabel *folderCaption = nullptr; // Label1_0
    QCheckBox *allowUpdatesBox = nullptr; // Check1_0
    QCheckBox *putOnDisplayBox = nullptr; // Check1_1
    QLabel *nameNote = nullptr;
    QLabel *folderNote = nullptr;
    QTimer *folderCheck = nullptr;
    bool refusedComma = false; // told of until the name box is left
    QList<std::pair<QWidget *, QRect>> laidOut; // each control's place without notes
    QSize bareSize;
};

void frmCPUInfo::Private::showNameNote(bool commaRefused)
{
    commaRefused = commaRefused || (refusedComma && tbCPUName->hasFocus());
    refusedComma = commaRefused;
    const QString note = DialogRules::CpuNameNote(
        tbCPUName->text().size() >= tbCPUName->maxLength() && tbCPUName->maxLength() == MaxTypedName, commaRefused);
    if (note == nameNote->text() && nameNote->isVisibleTo(q) == !note.isEmpty())
        return;
    nameNote->setText(note);
    nameNote->setVisible(!note.isEmpty());
    layoutNotes();
}

void frmCPUInfo::Private::checkFolder()
{
    // A folder on a share that does not answer can take long to look at: asked in the background,
    // the answer is shown if the box still holds that path.
    const QString path = bksPublicModule::TrimSpaces(tbSetiDir->text());
    QThreadPool::globalInstance()->start([path, guard = QPointer<Private>(this)] {
        const bool readable = QFileInfo(path).isDir() && QFileInfo(path).isReadable();
        QMetaObject::invokeMethod(qApp, [path, readable, guard] {
            if (!guard || bksPublicModule::TrimSpaces(guard->tbSetiDir->text()) != path)
                return;
            const QString note = DialogRules::CpuFolderNote(path, readable);
            guard->folderNote->setText(note);
            guard->folderNote->setVisible(!note.isEmpty());
            guard->layoutNotes();
        });
    });
}

void frmCPUInfo::Private::layoutNotes()
{
    // Each shown note takes a line below its box; what lies below moves down and the dialog grows.
    const int line = nameNote->fontMetrics().height() + 2;
    const int nameBottom = laidOut.value(0).second.bottom();
    const int folderBottom = laidOut.value(1).second.bottom();
    int grown = 0;
    for (const auto &[w, place] : std::as_const(laidOut)) {
        int shift = 0;
        if (nameNote->isVisibleTo(q) && place.top() > nameBottom)
            shift += line;
        if (folderNote->isVisibleTo(q) && place.top() > folderBottom)
            shift += line;
        w->setGeometry(place.translated(0, shift));
        grown = qMax(grown, shift);
    }
    nameNote->setGeometry(tbCPUName->x(), tbCPUName->geometry().bottom() + 1, q->width() - tbCPUName->x() - 4, line);
    folderNote->setGeometry(tbSetiDir->x(), tbSetiDir->geometry().bottom() + 1, q->width() - tbSetiDir->x() - 4, line);
    q->setFixedSize(bareSize + QSize(0, grown));
}

bool frmCPUInfo::Private::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Deferred, so that the click that brought the focus does not place the caret afterwards.
        QTimer::singleShot(0, q, [] { bksPublicModule::SelectAllText(); });
    } else if (event->type() == QEvent::FocusOut && watched == tbCPUName) {
        // Switching to another application or opening the box's own menu does not leave the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            tbCPUName_LostFocus();
            refusedComma = false;
            showNameNote(false);
        }
    }
    return false;
}

void frmCPUInfo::Private::FillForm()
{
    tbSetiDir->setText(bksPublicModule::IsBlank(path) ? QString() : path);
    const QString shownName = bksPublicModule::IsBlank(name) ? NewCPUName : name;
    // Only typing is limited: a longer name given by the caller is shown whole.
    tbCPUName->setMaxLength(qMax(MaxTypedName, int(shownName.size())));
    tbCPUName->setText(shownName);
    allowUpdatesBox->setChecked(allowUpdates);
    putOnDisplayBox->setChecked(putOnDisplay);
    tbCPUName_Change();
    tbCPUName->setFocus(Qt::OtherFocusReason);
    tbCPUName->selectAll();
}

void frmCPUInfo::Private::ReadForm()
{
    name = bksPublicModule::TrimSpaces(tbCPUName->text());
    path = bksPublicModule::AddTrailingChar(bksPublicModule::TrimSpaces(tbSetiDir->text()));
    allowUpdates = allowUpdatesBox->isChecked();
    putOnDisplay = putOnDisplayBox->isChecked();
}

void frmCPUInfo::Private::Command1_Click(int index)
{
    if (index == 0) {
        const QString why = nameCheck ? nameCheck(bksPublicModule::TrimSpaces(tbCPUName->text())) : QString();
        refusal->setText(why);
        refusal->setVisible(!why.isEmpty());
        if (!why.isEmpty())
            return;
        ReadForm();
        q->accept();
    } else {
        q->reject();
    }
}

void frmCPUInfo::Private::cmdBrowse_Click()
{
    const QString chosen = bksPublicModule::TrimSpaces(
        bksPublicModule::BrowseForFolder(q, QStringLiteral("Select a Seti@home Folder.."), true));
    if (!chosen.isEmpty())
        tbSetiDir->setText(chosen);
}

void frmCPUInfo::Private::tbCPUName_Change()
{
    close->setEnabled(!bksPublicModule::IsBlank(tbCPUName->text()) && !bksPublicModule::IsBlank(tbSetiDir->text()));
}

void frmCPUInfo::Private::tbCPUName_LostFocus()
{
    const bool nameBlank = bksPublicModule::IsBlank(tbCPUName->text());
    if (!bksPublicModule::IsBlank(tbSetiDir->text()))
        return; // a path the user typed is never overwritten
    tbSetiDir->setText(Schema::NetworkCPUPath(nameBlank ? AnyMachineName : tbCPUName->text()));
}

frmCPUInfo::frmCPUInfo(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , d(new Private(this))
{
    setObjectName(QStringLiteral("frmCPUInfo"));
    setWindowTitle(QStringLiteral("Edit CPU"));
    setModal(true);
    setFont(Framework::FormFont());
    setFixedSize(Framework::TwipsToPixelsX(4680, this), Framework::TwipsToPixelsY(2325, this));

    auto place = [this](QWidget *w, const char *name, int left, int top, int width, int height) {
        w->setObjectName(QLatin1String(name));
        DialogLayout::Place(w, left, top, width, height);
    };
    d->tbCPUName = new QLineEdit(this);
    place(d->tbCPUName, "tbCPUName", 1080, 60, 2475, 285);
    d->tbCPUName->setValidator(new NoCommaValidator([this] { d->showNameNote(true); }, d->tbCPUName));
    d->tbSetiDir = new QLineEdit(this);
    place(d->tbSetiDir, "tbSetiDir", 60, 720, 3495, 315);
    d->cmdBrowse = new QPushButton(QStringLiteral("&Browse"), this);
    place(d->cmdBrowse, "cmdBrowse", 3660, 720, 915, 315);
    d->close = new QPushButton(QStringLiteral("&Close"), this);
    place(d->close, "Command1_0", 3420, 1860, 1155, 375);
    d->cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    place(d->cancel, "Command1_1", 2160, 1860, 1155, 375);
    d->folderCaption = new QLabel(QStringLiteral("Seti@Home Program Directory:"), this);
    place(d->folderCaption, "Label1_0", 60, 480, 2415, 195);
    place(new QLabel(QStringLiteral("CPU Name:"), this), "Label1_1", 60, 120, 915, 195);
    d->allowUpdatesBox = new QCheckBox(QStringLiteral("Allow CPU to be updated automatically?"), this);
    place(d->allowUpdatesBox, "Check1_0", 60, 1140, 3735, 255);
    d->putOnDisplayBox = new QCheckBox(QStringLiteral("Allow CPU to be shown on the scrolling display?"), this);
    place(d->putOnDisplayBox, "Check1_1", 60, 1440, 3735, 255);

    d->refusal = new QLabel(this);
    place(d->refusal, "lblRefusal", 60, 1740, 2040, 540);
    d->refusal->setWordWrap(true);
    d->refusal->setStyleSheet(QStringLiteral("color: #c00000"));
    d->refusal->hide();

    // Nothing stands right of these, so a text a little wider than its place may take the room.
    for (QWidget *w : { static_cast<QWidget *>(d->folderCaption), static_cast<QWidget *>(d->allowUpdatesBox),
             static_cast<QWidget *>(d->putOnDisplayBox) })
        w->resize(qBound(w->width(), w->sizeHint().width(), width() - w->x()), w->height());

    // Notes that do not stop the user: a comma refused, a name at its limit, a folder not readable.
    d->laidOut = { { d->tbCPUName, d->tbCPUName->geometry() }, { d->tbSetiDir, d->tbSetiDir->geometry() } };
    for (QWidget *w : { static_cast<QWidget *>(d->cmdBrowse), static_cast<QWidget *>(d->close),
             static_cast<QWidget *>(d->cancel), static_cast<QWidget *>(d->folderCaption),
             static_cast<QWidget *>(d->allowUpdatesBox), static_cast<QWidget *>(d->putOnDisplayBox) })
        d->laidOut.append({ w, w->geometry() });
    for (QWidget *w : findChildren<QLabel *>(QStringLiteral("Label1_1")))
        d->laidOut.append({ w, w->geometry() });
    d->bareSize = size();
    auto note = [this](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, p.color(QPalette::Disabled, QPalette::WindowText));
        l->setPalette(p);
        l->hide();
        return l;
    };
    d->nameNote = note("lblNameNote");
    d->folderNote = note("lblFolderNote");
    d->folderCheck = new QTimer(this);
    d->folderCheck->setSingleShot(true);
    d->folderCheck->setInterval(300);
    connect(d->folderCheck, &QTimer::timeout, d, &Private::checkFolder);
    connect(d->tbSetiDir, &QLineEdit::textChanged, d->folderCheck, qOverload<>(&QTimer::start));
    connect(d->tbCPUName, &QLineEdit::textChanged, d, [this] { d->showNameNote(false); });

    QWidget::setTabOrder(d->tbCPUName, d->tbSetiDir);
    QWidget::setTabOrder(d->tbSetiDir, d->cmdBrowse);
    QWidget::setTabOrder(d->cmdBrowse, d->close);
    QWidget::setTabOrder(d->close, d->cancel);
    QWidget::setTabOrder(d->cancel, d->allowUpdatesBox);
    QWidget::setTabOrder(d->allowUpdatesBox, d->putOnDisplayBox);

    d->close->setDefault(true);

    d->tbCPUName->installEventFilter(d);
    d->tbSetiDir->installEventFilter(d);
    connect(d->tbCPUName, &QLineEdit::textChanged, d, &Private::tbCPUName_Change);
    connect(d->tbSetiDir, &QLineEdit::textChanged, d, &Private::tbCPUName_Change);
    connect(d->tbCPUName, &QLineEdit::textEdited, d, [this](const QString &text) {
        // Once the user shortens a long name given by the caller, it cannot grow back past 30.
        if (d->tbCPUName->maxLength() > MaxTypedName)
            d->tbCPUName->setMaxLength(qMax(MaxTypedName, int(text.size())));
    });
    connect(d->cmdBrowse, &QPushButton::clicked, d, &Private::cmdBrowse_Click);
    connect(d->close, &QPushButton::clicked, d, [this] { d->Command1_Click(0); });
    connect(d->cancel, &QPushButton::clicked, d, [this] { d->Command1_Click(1); });
}

frmCPUInfo::~frmCPUInfo()
{
    delete d;
}

QString frmCPUInfo::CPUName() const
{
    return bksPublicModule::TrimSpaces(d->name);
}

void frmCPUInfo::setCPUName(const QString &sCPUName)
{
    d->name = bksPublicModule::TrimSpaces(sCPUName);
}

QString frmCPUInfo::CPUPath() const
{
    return bksPublicModule::TrimSpaces(d->path);
}

void frmCPUInfo::setCPUPath(const QString &sCPUPath)
{
    d->path = bksPublicModule::TrimSpaces(sCPUPath);
}

bool frmCPUInfo::AllowUpdates() const
{
    return d->allowUpdates;
}

void frmCPUInfo::setAllowUpdates(bool bAllowUpdates)
{
    d->allowUpdates = bAllowUpdates;
}

bool frmCPUInfo::PutOnDisplay() const
{
    return d->putOnDisplay;
}

void frmCPUInfo::setPutOnDisplay(bool bPutOnDisplay)
{
    d->putOnDisplay = bPutOnDisplay;
}

void frmCPUInfo::setNameCheck(NameCheck check)
{
    d->nameCheck = std::move(check);
}

void frmCPUInfo::showModal()
{
    d->FillForm();
    if (const Script script = currentScript()) {
        show();
        script(*this);
        // A script that leaves the dialog open ends it like the close box.
        if (isVisible())
            reject();
        return;
    }
    // Modal by design: the caller reads the edited CPU back when it returns. Readings that arrive
    // meanwhile are applied as usual; the cycle never waits on the dialog.
    exec();
}

void frmCPUInfo::setScript(Script script)
{
    currentScript() = std::move(script);
}

#include "settings/SettingsStore.h"

#include "settings/Conv.h"
#include "settings/Schema.h"

#include "shared/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

// "%" is the escape character itself; "/" and "\\" would nest a group inside another.
QString escapeName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        if (c == u'%' || c == u'/' || c == u'\\')
            out += u'%' + QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::function<void(const QString &)> &reporter()
{
    static std::function<void(const QString &)> r;
    return r;
}

std::function<void()> &beforeWrite()
{
    static std::function<void()> hook;
    return hook;
}

// The file could not be read: the run works on defaults kept in memory and never writes the file.
bool &held()
{
    static bool h = false;
    return h;
}

// Writes the file, through a temporary file that replaces it.
void write(QSettings &s)
{
    if (held())
        return;
    if (beforeWrite())
        beforeWrite()();
    s.sync();
}

void reportFailure(const QString &what)
{
    if (reporter())
        reporter()(what);
    else
        std::fprintf(stderr, "tavrik: %s\n", qUtf8Printable(what));
}

QString &storeFile()
{
    static QString file;
    return file;
}

std::unique_ptr<QSettings> openStore()
{
    // A file that cannot exist: reads give nothing, and writes fail before touching any folder.
    // Windows would make "\dev\null\held" on the current drive; "<" is in no name there.
    if (held()) {
#ifdef Q_OS_WIN
        return std::make_unique<QSettings>(QStringLiteral("<held>/Tavrik.conf"), QSettings::IniFormat);
#else
        return std::make_unique<QSettings>(QStringLiteral("/dev/null/held/Tavrik.conf"), QSettings::IniFormat);
#endif
    }
    if (!storeFile().isEmpty())
        return std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    // The default format is the native one (the registry on Windows) unless a test has made it INI.
    return std::make_unique<QSettings>(
        QSettings::defaultFormat(), QSettings::UserScope, Schema::Organisation, Schema::Application);
}

// The open batch's store, shared by every call until the outermost batch ends.
struct OpenBatch
{
    int depth = 0;
    std::unique_ptr<QSettings> store;
    QStringList changed; // what the batch wrote, for the failure report
};

OpenBatch &openBatch()
{
    static OpenBatch batch;
    return batch;
}

// The batch's store while one is open, else a store of its own.
class Store
{
public:
    Store()
    {
        if (!openBatch().store)
            m_own = openStore();
    }
    QSettings *operator->() const { return m_own ? m_own.get() : openBatch().store.get(); }
    QSettings &operator*() const { return *operator->(); }
    bool batched() const { return !m_own; }

private:
    std::unique_ptr<QSettings> m_own;
};

QString fullKey(const QString &section, const QString &key)
{
    return SettingsStore::encodeSection(section) + u'/' + escapeName(key);
}

// Writes the file now, unless a batch will at its end.
bool syncChecked(const Store &store, const QString &what)
{
    if (store.batched()) {
        openBatch().changed.append(what);
        return true;
    }
    QSettings &s = *store;
    write(s);
    if (s.status() == QSettings::NoError || held())
        return true;
    reportFailure(QStringLiteral("Settings could not be saved (%1) to %2.").arg(what, s.fileName()));
    return false;
}

} // namespace

SettingsStore::Batch::Batch()
{
    OpenBatch &b = openBatch();
    if (b.depth++ == 0)
        b.store = openStore();
}

SettingsStore::Batch::~Batch()
{
    OpenBatch &b = openBatch();
    if (--b.depth > 0)
        return;
    QSettings &s = *b.store;
    write(s);
    if (s.status() != QSettings::NoError && !held()) {
        b.changed.removeDuplicates();
        reportFailure(
            QStringLiteral("Settings could not be saved (%1) to %2.").arg(b.changed.join(u", "), s.fileName()));
    }
    b.store.reset();
    b.changed.clear();
}

void SettingsStore::useFile(const QString &iniFile)
{
    storeFile() = iniFile;
    held() = false;
}

QString SettingsStore::fileName()
{
    if (!storeFile().isEmpty())
        return storeFile();
    // Told by a store of no file: opening the store itself reads it, and it may be a FIFO.
    const QFileInfo probe(QSettings(QSettings::defaultFormat(), QSettings::UserScope, Schema::Organisation,
        Schema::Application + QStringLiteral("-none"))
                              .fileName());
    // ".conf" on Unix, ".ini" for INI files elsewhere; the registry's key has none.
    const QString suffix = probe.suffix();
    return probe.dir().filePath(Schema::Application + (suffix.isEmpty() ? QString() : u'.' + suffix));
}

QStringList SettingsStore::checkAccess()
{
    held() = false;
    const QString file = fileName();
    const QFileInfo info(file);
    QStringList out;
    QString unreadable = SafeFile::Refusal(file);
    if (unreadable.isEmpty() && info.exists()) {
        QFile probe(file);
        if (!probe.open(QIODevice::ReadOnly))
            unreadable = file + QStringLiteral(": ") + probe.errorString();
    }
    if (!unreadable.isEmpty()) {
        held() = true;
        out.append(QStringLiteral("Settings could not be read (%1). This run starts from the defaults and "
                                  "saves nothing, so the file stays as it is.")
                       .arg(unreadable));
        return out;
    }
    const QFileInfo folder(info.absolutePath());
    if ((info.exists() && !info.isWritable()) || (folder.exists() && !folder.isWritable()))
        out.append(QStringLiteral("Settings will not be saved: %1 cannot be written. Changes made in this run "
                                  "are lost at exit.")
                       .arg(info.exists() && !info.isWritable() ? file : folder.filePath()));
    return out;
}

QString SettingsStore::encodeSection(const QString &section)
{
    // An empty name would address the store's root; "%" alone never comes out of the escaping.
    if (section.isEmpty())
        return QStringLiteral("%");
    QString out = escapeName(section);
    // The INI file keeps its top-level keys under [General] and writes a group of that name, in
    // any letter case, as [%General]: "General" and "general" would be one section on disk.
    if (section.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0)
        out = u'%' + QString::number(section[0].unicode(), 16).toUpper() + section.mid(1);
    return out;
}

QString SettingsStore::decodeSection(const QString &encoded)
{
    if (encoded == QLatin1String("%"))
        return QString();
    QString out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        if (encoded[i] == u'%' && i + 2 < encoded.size()) {
            const int hi = hexValue(encoded[i + 1]);
            const int lo = hexValue(encoded[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += QChar(char16_t(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out += encoded[i];
    }
    return out;
}

QString SettingsStore::get(const QString &section, const QString &key, const QString &defaultValue)
{
    const QVariant v = Store()->value(fullKey(section, key));
    if (!v.isValid())
        return defaultValue;
    // A value edited by hand as a,b (without quotes) comes back from the INI file as a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

bool SettingsStore::save(const QString &section, const QString &key, const QString &value)
{
    const Store s;
    s->setValue(fullKey(section, key), value);
    return syncChecked(s, section + u'/' + key);
}

bool SettingsStore::sectionExists(const QString &section)
{
    const Store s;
    s->beginGroup(encodeSection(section));
    const bool exists = !s->childKeys().isEmpty() || !s->childGroups().isEmpty();
    s->endGroup();
    return exists;
}

QStringList SettingsStore::sections()
{
    QStringList out;
    const QStringList groups = Store()->childGroups();
    for (const QString &group : groups)
        out.append(decodeSection(group));
    return out;
}

bool SettingsStore::deleteSection(const QString &section)
{
    if (!sectionExists(section))
        return false;
    const Store s;
    s->remove(encodeSection(section));
    return syncChecked(s, section);
}

bool SettingsStore::removeKey(const QString &section, const QString &key)
{
    const Store s;
    const QString full = fullKey(section, key);
    if (!s->contains(full))
        return true;
    s->remove(full);
    return syncChecked(s, section + u'/' + key);
}

std::optional<qint16> SettingsStore::getInt16(const QString &section, const QString &key, const QString &defaultValue)
{
    return Conv::ToInt16(get(section, key, defaultValue));
}

std::optional<qint32> SettingsStore::getInt32(const QString &section, const QString &key, const QString &defaultValue)
{
    return Conv::ToInt32(get(section, key, defaultValue));
}

std::optional<bool> SettingsStore::getBool(const QString &section, const QString &key, const QString &defaultValue)
{
    return Conv::ToBool(get(section, key, defaultValue));
}

bool SettingsStore::saveInt(const QString &section, const QString &key, int value)
{
    return save(section, key, QString::number(value));
}

bool SettingsStore::saveBool(const QString &section, const QString &key, bool value)
{
    return save(section, key, Conv::BoolText(value));
}

bool SettingsStore::saveTwips(const QString &section, const QString &key, int twips)
{
    return save(section, key, Conv::SingleText(static_cast<float>(twips)));
}

QRect SettingsStore::getPlacement(const QString &section, const QRect &d, const QSize &screen)
{
    auto read = [&](const QString &key, int def) {
        return Conv::ParseNumber(get(section, key, QString::number(def))).value_or(def);
    };
    const double top = read(Schema::Top, d.top());
    const double left = read(Schema::Left, d.left());
    return BoundPlacement(left, top, read(Schema::Width, d.width()), read(Schema::Height, d.height()), d, screen);
}

QRect SettingsStore::BoundPlacement(
    double left, double top, double width, double height, const QRect &d, const QSize &screen)
{
    const double maxX = 10.0 * qMax(screen.width(), 1);
    const double maxY = 10.0 * qMax(screen.height(), 1);
    auto fits = [&](double x, double y, double w, double h) {
        // Negated, so NaN fails too.
        return !(!(std::abs(x) <= maxX) || !(std::abs(y) <= maxY) || !(w >= 1 && w <= maxX) || !(h >= 1 && h <= maxY));
    };
    if (fits(left, top, width, height))
        return QRect(int(left), int(top), int(width), int(height));
    // The default's own corners, as ints: a default taken from the store may be as wild.
    if (fits(d.left(), d.top(), double(d.right()) - d.left() + 1, double(d.bottom()) - d.top() + 1))
        return d;
    return QRect(105, 105, 4725, 1590);
}

bool SettingsStore::savePlacement(const QString &section, const QRect &twips)
{
    const Batch batch;
    bool ok = saveTwips(section, Schema::Top, twips.top());
    ok = saveTwips(section, Schema::Left, twips.left()) && ok;
    ok = saveTwips(section, Schema::Width, twips.width()) && ok;
    return saveTwips(section, Schema::Height, twips.height()) && ok;
}

void SettingsStore::setBeforeWrite(std::function<void()> hook)
{
    beforeWrite() = std::move(hook);
}

void SettingsStore::setFailureReporter(std::function<void(const QString &)> r)
{
    reporter() = std::move(r);
}

#include "monitor/UpdateCycle.h"

#include "settings/Options.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <mutex>

namespace {

// How long readings that are there may be handed on in one go.
constexpr qint64 DeliveryBudgetNs = 4000000;

// Healthy reads run on at most this many threads at once (three calls per CPU).
constexpr int HealthyThreads = 3 * 128;

// Threads stuck in a dead share cannot be cancelled. The pool is never destroyed, so ending the
// program never waits for them.
QThreadPool *readerPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(HealthyThreads);
        p->setExpiryTimeout(30000);
        p->setStackSize(1024 * 1024); // a read needs little; hundreds of threads may run at once
        return p;
    }();
    return pool;
}

// Calls of hung reads that may still hold a thread, over every cycle object.
std::atomic<int> g_hungCalls { 0 };

void countHung(int calls)
{
    // Hung calls hold their threads until the share answers; healthy reads always find free ones.
    readerPool()->setMaxThreadCount(HealthyThreads + (g_hungCalls += calls));
}

} // namespace

// Where the last call of a read reports; cut off when the cycle object goes away first.
struct UpdateCycle::Mailbox
{
    std::mutex mutex;
    UpdateCycle *owner = nullptr;
};

struct UpdateCycle::Read
{
    Target target;
    ClientReader::PartResult parts[ClientReader::PartCount];
    std::atomic<int> remaining { ClientReader::PartCount };
    ClientSnapshot files; // complete once the last call has finished
    // Running, then either done by the last call or hung by a batch that gave up waiting; a hung
    // read that ends after all gives its threads back.
    enum Phase { Running, Finished, Hung };
    std::atomic<int> phase { Running };
    bool done = false; // handed back to the user-interface thread
};

struct UpdateCycle::Batch
{
    struct Item
    {
        Target target;
        std::shared_ptr<Read> read; // null: unreachable from the start (its last read still hangs)
        bool timedOut = false;
        bool forgotten = false;
        bool delivered = false;
        bool ready() const { return forgotten || timedOut || !read || read->done; }
    };
    QList<Item> items;
    qsizetype next = 0; // the first item not handed on yet
    // A cycle hands its readings on in window order; a reading outside the cycle (start-up, one
    // CPU) as soon as it is there, so a hung folder holds up no other CPU.
    bool isCycle = false;
    QTimer *deadline = nullptr;
};

UpdateCycle::UpdateCycle(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = this;
}

UpdateCycle::~UpdateCycle()
{
    std::lock_guard<std::mutex> lock(m_mailbox->mutex);
    m_mailbox->owner = nullptr;
}

void UpdateCycle::setTargets(TargetSource source)
{
    m_targets = std::move(source);
}

void UpdateCycle::setTimeLimit(int ms)
{
    m_timeLimitMs = qMax(1, ms);
}

int UpdateCycle::hungReads()
{
    return g_hungCalls / ClientReader::PartCount;
}

void UpdateCycle::tick()
{
    if (m_stopped || m_cycling)
        return;
    if (m_tickCount < m_options.monitorInterval())
        ++m_tickCount;
    else
        startCycle();
}

void UpdateCycle::refresh()
{
    if (m_stopped)
        return;
    if (m_cycling)
        m_refreshPending = true;
    else
        startCycle();
}

void UpdateCycle::readNow(const QList<Target> &targets)
{
    if (m_stopped)
        return;
    QList<Target> wanted;
    for (const Target &t : targets) {
        bool pending = false;
        for (const auto &batch : m_batches)
            for (qsizetype i = batch->next; i < batch->items.size() && !pending; ++i) {
                const Batch::Item &item = batch->items[i];
                pending = !item.forgotten && !item.delivered && item.target.key == t.key && item.target.path == t.path;
            }
        if (!pending)
            wanted.append(t);
    }
    if (!wanted.isEmpty())
        startBatch(wanted, false);
}

void UpdateCycle::forget(quint64 key)
{
    for (const auto &batch : m_batches)
        for (qsizetype i = batch->next; i < batch->items.size(); ++i)
            if (batch->items[i].target.key == key)
                batch->items[i].forgotten = true;
    scheduleDelivery();
}

void UpdateCycle::stop()
{
    m_stopped = true;
    m_refreshPending = false;
    m_cycling = false;
    for (const auto &batch : m_batches)
        delete batch->deadline;
    m_batches.clear();
}

void UpdateCycle::startCycle()
{
    m_cycling = true;
    m_tickCount = 0;
    Q_EMIT cycleStarted();
    if (!m_stopped)
        startBatch(m_targets ? m_targets() : QList<Target>(), true);
}

void UpdateCycle::startBatch(const QList<Target> &targets, bool isCycle)
{
    auto batch = std::make_unique<Batch>();
    batch->isCycle = isCycle;
    batch->items.reserve(targets.size());
    for (const Target &t : targets)
        batch->items.append(Batch::Item { t, startRead(t) });
    // The limit counts from the batch's start, for every CPU in it.
    batch->deadline = new QTimer(this);
    batch->deadline->setSingleShot(true);
    batch->deadline->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % late
    Batch *raw = batch.get();
    connect(batch->deadline, &QTimer::timeout, this, [this, raw] { onDeadline(raw); });
    batch->deadline->start(m_timeLimitMs);
    m_batches.push_back(std::move(batch));
    scheduleDelivery();
}

std::shared_ptr<UpdateCycle::Read> UpdateCycle::startRead(const Target &target)
{
    for (const std::shared_ptr<Read> &running : std::as_const(m_running)) {
        if (running->target.key == target.key && running->target.path == target.path)
            return running->phase == Read::Hung ? nullptr : running;
    }
    auto read = std::make_shared<Read>();
    read->target = target;
    m_running.append(read);
    for (int part = 0; part < ClientReader::PartCount; ++part) {
        readerPool()->start([read, part, mailbox = m_mailbox] {
            read->parts[part] = ClientReader::ReadPart(read->target.path, ClientReader::Part(part));
            if (read->remaining.fetch_sub(1, std::memory_order_acq_rel) != 1)
                return;
            if (!ClientReader::Combine(read->parts, read->files))
                read->files = ClientReader::Read(read->target.path);
            if (read->phase.exchange(Read::Finished) == Read::Hung)
                countHung(-ClientReader::PartCount);
            std::lock_guard<std::mutex> lock(mailbox->mutex);
            if (UpdateCycle *owner = mailbox->owner)
                QMetaObject::invokeMethod(
                    owner, [owner, read] { owner->onReadDone(read); }, Qt::QueuedConnection);
        });
    }
    return read;
}

void UpdateCycle::onReadDone(const std::shared_ptr<Read> &read)
{
    read->done = true;
    m_running.removeOne(read);
    scheduleDelivery();
}

void UpdateCycle::onDeadline(Batch *batch)
{
    for (qsizetype i = batch->next; i < batch->items.size(); ++i) {
        Batch::Item &item = batch->items[i];
        if (item.ready())
            continue;
        // A read whose calls all returned is no hung share: its hand-back is already queued.
        int phase = Read::Running;
        if (item.read->phase.compare_exchange_strong(phase, Read::Hung))
            countHung(ClientReader::PartCount);
        else if (phase == Read::Finished)
            continue;
        item.timedOut = true;
    }
    scheduleDelivery();
}

void UpdateCycle::scheduleDelivery()
{
    if (m_deliveryScheduled || m_stopped)
        return;
    m_deliveryScheduled = true;
    QMetaObject::invokeMethod(this, &UpdateCycle::deliver, Qt::QueuedConnection);
}

void UpdateCycle::deliver()
{
    m_deliveryScheduled = false;
    // Readings that are there go on together for a few milliseconds, then the event loop runs:
    // one return to it for each of a thousand CPUs cost more than the readings themselves.
    QElapsedTimer budget;
    budget.start();
    while (deliverOne() && budget.nsecsElapsed() < DeliveryBudgetNs) { }
}

bool UpdateCycle::deliverOne()
{
    for (size_t b = 0; b < m_batches.size() && !m_stopped;) {
        Batch *batch = m_batches[b].get();
        for (qsizetype i = batch->next; i < batch->items.size(); ++i) {
            Batch::Item &item = batch->items[i];
            if (item.delivered)
                continue;
            if (!item.ready()) {
                if (batch->isCycle)
                    break;
                continue;
            }
            item.delivered = true;
            while (batch->next < batch->items.size() && batch->items[batch->next].delivered)
                ++batch->next;
            if (item.forgotten)
                continue;
            const bool answered = item.read && item.read->done && !item.timedOut;
            const Target target = item.target;
            const ClientSnapshot files = answered ? item.read->files : ClientReader::Unreachable();
            // Whatever follows goes on after a return to the event loop at the latest.
            scheduleDelivery();
            Q_EMIT readingReady(target.key, target.path, files);
            return true;
        }
        if (batch->next < batch->items.size()) {
            ++b;
            continue;
        }
        finishBatch(batch);
        return false;
    }
    return false;
}

void UpdateCycle::finishBatch(Batch *batch)
{
    const bool wasCycle = batch->isCycle;
    delete batch->deadline;
    for (auto it = m_batches.begin(); it != m_batches.end(); ++it) {
        if (it->get() == batch) {
            m_batches.erase(it);
            break;
        }
    }
    scheduleDelivery(); // the other batches
    if (!wasCycle)
        return;
    m_cycling = false;
    Q_EMIT cycleFinished();
    if (m_refreshPending && !m_stopped) {
        m_refreshPending = false;
        startCycle();
    }
}

#include "sync/Engine.h"

#include "store/SyncState.h"
#include "sync/Mapping.h"
#include "sync/Planner.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <map>

namespace calsync {

exchange::DateRange defaultSyncRange(const QDate& today) {
    return {today.addYears(-1), today.addYears(2)};
}

namespace {

// A pass applies a plan and plans again on what it left (a conflict's local version moved to a
// free slot is uploaded by the next pass); it stops once nothing is left to do.
constexpr int kMaxPasses = 3;

QString storeFailure(const store::Error& error) {
    return QStringLiteral("予定表のファイルを同期できません。") + store::describe(error);
}

QString serverFailure(const Failure& failure) {
    QString text = failure.message.isEmpty() ? QStringLiteral("サーバーと同期できません。") : failure.message;
    if (!failure.detail.isEmpty())
        text += QLatin1Char(' ') + failure.detail;
    return text;
}

Pairing pairingOf(const store::SyncedItem& item) {
    return {item.href, item.occurrence, item.date, item.slot, valueOf(item.date, item.value)};
}

store::SyncedItem syncedOf(const Pairing& pair, const QDate& date, int slot, const ItemValue& value) {
    return {pair.href, pair.occurrence, date, slot, slotItemOf(value)};
}

// One sync's work on the file and the server.
class Sync {
  public:
    Sync(store::SyncState& state, Server& server, const SyncOptions& options,
         const std::function<QString()>& newUid, SyncReport& report)
        : state_(state), server_(server), options_(options), newUid_(newUid), report_(report) {}

    // Asks the server what changed and keeps it in the file. False on failure (in the report).
    bool fetch() {
        const store::Result<std::vector<store::SyncedResource>> resources = state_.resources();
        const store::Result<QString> token = state_.token();
        if (!resources.ok() || !token.ok())
            return fail(resources.ok() ? token.error() : resources.error());
        QHash<QString, QString> known;
        QSet<QString> pending;
        for (const store::SyncedResource& resource : resources.value()) {
            known.insert(resource.href, resource.pending ? QString() : resource.etag);
            if (resource.pending)
                pending.insert(resource.href);
        }
        // A resource whose creation may or may not have reached the server is looked for in a
        // listing of the whole collection.
        Outcome<Changes> changes = server_.changesSince(pending.isEmpty() ? token.value() : QString(), known);
        if (!changes.ok()) {
            report_.failure = serverFailure(changes.failure());
            return false;
        }
        QHash<QString, QString> uids;
        for (const store::SyncedResource& resource : resources.value())
            uids.insert(resource.href, resource.uid);
        return transaction([&]() -> store::Error {
            for (const Resource& resource : changes.value().changed) {
                pending.remove(resource.href);
                if (store::Error error = state_.putResource(
                        {resource.href, uids.value(resource.href), resource.etag, resource.data, false});
                    error.failed())
                    return error;
            }
            for (const QString& href : changes.value().removed) {
                if (store::Error error = state_.removeResource(href); error.failed())
                    return error;
            }
            // A creation that never reached the server: its item is new again.
            for (const QString& href : pending) {
                if (store::Error error = forgetResource(href); error.failed())
                    return error;
            }
            return state_.setToken(changes.value().token);
        });
    }

    bool stopped() const { return stopped_; }

    // One pass: plan on the file and the server as they are now, and apply. False when there is
    // nothing left to do, or when the work must stop (failure, mass delete, a write refused).
    bool pass() {
        const store::Result<std::vector<store::SyncedResource>> resources = state_.resources();
        const store::Result<std::vector<store::SyncedItem>> pairs = state_.items();
        const store::Result<std::vector<store::DatedItem>> local = state_.dayItems();
        if (!resources.ok())
            return fail(resources.error());
        if (!pairs.ok())
            return fail(pairs.error());
        if (!local.ok())
            return fail(local.error());
        PlanInput input;
        QSet<QString> unreadable;
        report_.notShown.clear();
        resources_.clear();
        for (const store::SyncedResource& resource : resources.value()) {
            resources_.insert(resource.href, resource);
            // A resource is read once a sync: a later pass finds it unchanged unless it wrote it.
            auto cached = read_.find(resource.href);
            if (cached == read_.end() || cached->first != resource.data)
                cached =
                    read_.insert(resource.href,
                                 {resource.data, readResource(resource.href, resource.data, options_.range)});
            const ResourceItems& items = cached->second;
            if (items.unreadable)
                unreadable.insert(resource.href);
            for (const ServerItem& item : items.items)
                input.server.push_back(item);
            for (const ResourceItems::Left& left : items.left)
                report_.notShown.push_back({left.date, left.summary, left.reason});
        }
        // An occurrence that time carried out of the range, or an item of a resource that cannot
        // be read now, is neither deleted nor new: it stays paired and is left alone.
        QSet<qint64> resting;
        for (const store::SyncedItem& item : pairs.value()) {
            if (unreadable.contains(item.href) ||
                (!item.occurrence.isEmpty() && resources_.contains(item.href) &&
                 (item.date < options_.range.first || item.date > options_.range.last))) {
                resting.insert(item.date.toJulianDay() * 8 + item.slot);
                continue;
            }
            input.pairs.push_back(pairingOf(item));
        }
        for (const store::DatedItem& item : local.value()) {
            if (!resting.contains(item.date.toJulianDay() * 8 + item.slot))
                input.local.push_back({item.slot, valueOf(item.date, item.item)});
        }
        const Plan plan = planSync(input);
        if (plan.actions.empty())
            return false;
        if (!options_.allowMassDelete && massDelete(plan)) {
            report_.massDeleteStopped = true;
            return false;
        }
        report_.conflicts.insert(report_.conflicts.end(), plan.conflicts.begin(), plan.conflicts.end());
        const int before = effects_;
        if (!beginBatch())
            return false;
        for (const Action& action : plan.actions) {
            if (!applyToFile(action))
                return false;
        }
        if (!endBatch())
            return false;
        return writeToServer(plan) && !stopped_ && effects_ > before;
    }

    // The ToDo list against the collection's VTODOs: the file's part first, then one batch of
    // writes. False when the work must stop.
    bool todoPass() {
        const store::Result<std::vector<store::SyncedResource>> resources = state_.resources();
        const store::Result<QHash<QString, QString>> pairs = state_.todoPairs();
        const store::Result<QStringList> local = state_.todos();
        if (!resources.ok())
            return fail(resources.error());
        if (!pairs.ok())
            return fail(pairs.error());
        if (!local.ok())
            return fail(local.error());
        TodoInput input{local.value(), {}, pairs.value()};
        QHash<QString, store::SyncedResource> byHref;
        for (const store::SyncedResource& resource : resources.value()) {
            byHref.insert(resource.href, resource);
            const QString text = todoOf(resource.data);
            if (!text.isEmpty())
                input.server.emplace_back(resource.href, text);
        }
        const TodoPlan plan = planTodos(input);
        if (plan.actions.empty())
            return true;
        if (!options_.allowMassDelete &&
            (massDelete(plan.deletesHere, static_cast<int>(input.local.size())) ||
             massDelete(plan.deletesThere, static_cast<int>(input.server.size())))) {
            report_.massDeleteStopped = true;
            return false;
        }
        report_.conflicts.insert(report_.conflicts.end(), plan.conflicts.begin(), plan.conflicts.end());
        std::vector<Write> writes;
        std::vector<const TodoAction*> writing;
        QHash<QString, QString> uids;
        if (!beginBatch())
            return false;
        for (const TodoAction& action : plan.actions) {
            using Kind = TodoAction::Kind;
            bool ok = true;
            if (action.kind == Kind::Create) {
                // Named variables: a lambda cannot take structured bindings on every compiler.
                const std::pair<QString, QString> identity = newIdentity();
                const QString& uid = identity.first;
                const QString& href = identity.second;
                uids.insert(href, uid);
                const QByteArray data = newTodoResource(uid, action.now);
                ok = transaction([&]() -> store::Error {
                    if (store::Error error = state_.putResource({href, uid, QString(), data, true});
                        error.failed())
                        return error;
                    return state_.putTodoPair(href, action.now);
                });
                writes.push_back({href, QString(), data});
                writing.push_back(&action);
            } else if (action.kind == Kind::DeleteThere) {
                if (byHref.value(action.href).etag.isEmpty())
                    continue;
                writes.push_back({action.href, byHref.value(action.href).etag, {}});
                writing.push_back(&action);
            } else {
                ok = transaction([&]() -> store::Error { return applyTodo(action); });
            }
            if (!ok)
                return false;
        }
        if (!endBatch())
            return false;
        if (writes.empty())
            return true;
        const Outcome<std::vector<Written>> written = server_.write(writes);
        if (!written.ok()) {
            report_.failure = serverFailure(written.failure());
            return false;
        }
        if (!beginBatch())
            return false;
        for (size_t i = 0; i < writes.size() && i < written.value().size(); ++i) {
            const Written& result = written.value()[i];
            const Write& write = writes[i];
            if (result.state == Written::State::Failed) {
                if (report_.failure.isEmpty())
                    report_.failure = serverFailure(result.failure);
                continue;
            }
            if (result.state == Written::State::Conflict) {
                report_.conflicts.push_back(
                    {QDate(), QStringLiteral("（サーバーで変更済み）"), writing[i]->was});
                continue;
            }
            const bool recorded = transaction([&]() -> store::Error {
                if (write.data.isEmpty()) {
                    ++report_.deletedThere;
                    if (store::Error error = state_.removeTodoPair(write.href); error.failed())
                        return error;
                    return state_.removeResource(write.href);
                }
                ++report_.sent;
                return state_.putResource(
                    {write.href, uids.value(write.href), result.etag, write.data, false});
            });
            if (!recorded)
                return false;
        }
        return endBatch();
    }

    store::Error applyTodo(const TodoAction& action) {
        bool found = false;
        switch (action.kind) {
        case TodoAction::Kind::AddHere:
            ++report_.received;
            if (store::Error error = state_.addTodo(action.now); error.failed())
                return error;
            return state_.putTodoPair(action.href, action.now);
        case TodoAction::Kind::ChangeHere:
        case TodoAction::Kind::RemoveHere:
            if (store::Error error = state_.changeTodo(action.was, action.now, &found);
                error.failed() || !found)
                return error;
            if (action.kind == TodoAction::Kind::RemoveHere) {
                ++report_.deletedHere;
                return state_.removeTodoPair(action.href);
            }
            ++report_.received;
            return state_.putTodoPair(action.href, action.now);
        case TodoAction::Kind::Pair:
            return state_.putTodoPair(action.href, action.now);
        case TodoAction::Kind::Forget:
            return state_.removeTodoPair(action.href);
        case TodoAction::Kind::Create:
        case TodoAction::Kind::DeleteThere:
            break;
        }
        return {};
    }

  private:
    bool fail(const store::Error& error) {
        if (report_.failure.isEmpty())
            report_.failure = storeFailure(error);
        return false;
    }

    // Runs `work` in a short transaction: its own, or the open batch's. False on failure (in the
    // report; an open batch is rolled back and closed).
    bool transaction(const std::function<store::Error()>& work) {
        if (!batchOpen_ && !begin())
            return false;
        store::Error error = work();
        if (error.ok() && (!batchOpen_ || ++batchWork_ >= kBatchWork)) {
            error = state_.commit();
            if (error.ok() && batchOpen_) {
                batchWork_ = 0;
                error = state_.begin();
            }
        }
        if (error.failed()) {
            state_.rollback();
            batchOpen_ = false;
            return fail(error);
        }
        return true;
    }

    bool begin() {
        if (store::Error error = state_.begin(); error.failed())
            return fail(error);
        return true;
    }

    // Many small pieces of work share transactions of up to kBatchWork pieces: a commit each
    // would make a first sync of thousands of items wait for the disk thousands of times. The
    // batch is closed before any request to the server.
    bool beginBatch() {
        if (!begin())
            return false;
        batchOpen_ = true;
        batchWork_ = 0;
        return true;
    }

    bool endBatch() {
        if (!batchOpen_)
            return false;
        batchOpen_ = false;
        if (store::Error error = state_.commit(); error.failed()) {
            state_.rollback();
            return fail(error);
        }
        return true;
    }

    // The UID of a new resource and its address in the collection: "<uuid>@daduvov" and
    // "<uuid>.ics".
    std::pair<QString, QString> newIdentity() const {
        if (newUid_) {
            const QString uid = newUid_();
            return {uid, uid + QStringLiteral(".ics")};
        }
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        return {id + QStringLiteral("@daduvov"), id + QStringLiteral(".ics")};
    }

    store::Error forgetResource(const QString& href) {
        const store::Result<std::vector<store::SyncedItem>> pairs = state_.items();
        if (!pairs.ok())
            return pairs.error();
        for (const store::SyncedItem& item : pairs.value()) {
            if (item.href == href) {
                if (store::Error error = state_.removeItem(item.href, item.occurrence); error.failed())
                    return error;
            }
        }
        if (store::Error error = state_.removeTodoPair(href); error.failed())
            return error;
        return state_.removeResource(href);
    }

    // The slot an item goes to on a date: the preferred one when free, else the first free one
    // (not `except`); 0 when none is.
    static int freeSlot(const std::array<store::SlotItem, store::kSlotCount>& items, int preferred,
                        int except = 0) {
        const auto isFree = [&](int slot) {
            return slot != except && items[static_cast<size_t>(slot) - 1].content.isEmpty();
        };
        if (preferred >= 1 && preferred <= store::kSlotCount && isFree(preferred))
            return preferred;
        for (int slot = 1; slot <= store::kSlotCount; ++slot) {
            if (isFree(slot))
                return slot;
        }
        return 0;
    }

    void notShown(const ItemValue& value) {
        report_.notShown.push_back(
            {value.date, value.content,
             QStringLiteral("この日の%1件がすべて埋まっています").arg(store::kSlotCount)});
    }

    // Whether a slot still holds what the plan saw; another program may have saved it since, and
    // then it is left for the next sync.
    static bool holds(const std::array<store::SlotItem, store::kSlotCount>& items, int slot,
                      const std::optional<ItemValue>& expected) {
        const store::SlotItem& item = items[static_cast<size_t>(slot) - 1];
        if (!expected)
            return item.content.isEmpty();
        return !item.content.isEmpty() && valueOf(expected->date, item) == *expected;
    }

    // The file's part of an action, in a transaction of its own. False when the work must stop.
    bool applyToFile(const Action& action) {
        const Pairing& pair = action.pair;
        switch (action.kind) {
        case Action::Kind::Rebase:
            ++effects_;
            return transaction(
                [&] { return state_.putItem(syncedOf(pair, pair.date, pair.slot, action.server)); });
        case Action::Kind::Forget:
            ++effects_;
            return transaction([&] { return state_.removeItem(pair.href, pair.occurrence); });
        case Action::Kind::PullDelete:
            return onDate(pair.date, [&](auto& items) -> store::Error {
                if (!holds(items, pair.slot, action.local))
                    return {};
                if (store::Error error = state_.saveSlot(pair.date, pair.slot, {}); error.failed())
                    return error;
                ++report_.deletedHere;
                ++effects_;
                return state_.removeItem(pair.href, pair.occurrence);
            });
        case Action::Kind::Pull:
            return onDate(pair.date, [&](auto& items) -> store::Error {
                if (!holds(items, pair.slot, action.local))
                    return {};
                if (action.server.date == pair.date)
                    return pull(pair, pair.slot, action.server);
                const store::Result<std::array<store::SlotItem, store::kSlotCount>> there =
                    state_.readDate(action.server.date);
                if (!there.ok())
                    return there.error();
                const int slot =
                    freeSlot(there.value(), action.preferredSlot ? action.preferredSlot : pair.slot);
                if (slot == 0) {
                    notShown(action.server);
                    return {};
                }
                if (store::Error error = state_.saveSlot(pair.date, pair.slot, {}); error.failed())
                    return error;
                return pull(pair, slot, action.server);
            });
        case Action::Kind::Place:
            return onDate(action.server.date, [&](auto& items) -> store::Error {
                const int slot = freeSlot(items, action.preferredSlot);
                if (slot == 0) {
                    notShown(action.server);
                    return {};
                }
                return pull(pair, slot, action.server);
            });
        case Action::Kind::KeepBoth:
            return onDate(pair.date, [&](auto& items) -> store::Error {
                if (!holds(items, pair.slot, action.local))
                    return {};
                const int slot = freeSlot(items, 0, pair.slot);
                ++effects_;
                // No free slot: the file keeps its version, the server's stays on the server.
                if (slot == 0)
                    return state_.removeItem(pair.href, pair.occurrence);
                if (store::Error error = state_.saveSlot(pair.date, slot, slotItemOf(action.local));
                    error.failed())
                    return error;
                return pull(pair, pair.slot, action.server);
            });
        case Action::Kind::Push:
        case Action::Kind::PushDelete:
        case Action::Kind::Create:
            return true;
        }
        return true;
    }

    store::Error pull(const Pairing& pair, int slot, const ItemValue& value) {
        if (store::Error error = state_.saveSlot(value.date, slot, slotItemOf(value)); error.failed())
            return error;
        ++report_.received;
        ++effects_;
        return state_.putItem(syncedOf(pair, value.date, slot, value));
    }

    // Runs `work` on the date's slots as stored now, in one transaction.
    template <typename Work> bool onDate(const QDate& date, Work&& work) {
        return transaction([&]() -> store::Error {
            store::Result<std::array<store::SlotItem, store::kSlotCount>> items = state_.readDate(date);
            if (!items.ok())
                return items.error();
            return work(items.value());
        });
    }

    // The server's part of the plan: the new resources (each recorded as pending first), then the
    // edits and deletions, one write per resource. False when the work must stop.
    bool writeToServer(const Plan& plan) {
        struct Target {
            bool create = false;
            QString uid;
            QByteArray data;
            std::vector<const Action*> actions;
        };
        std::map<QString, Target> targets;
        if (!beginBatch())
            return false;
        for (const Action& action : plan.actions) {
            if (action.kind == Action::Kind::Create) {
                Target target;
                target.create = true;
                const std::pair<QString, QString> identity = newIdentity();
                const QString& href = identity.second;
                target.uid = identity.first;
                target.data = newResource(target.uid, action.local, action.pair.slot);
                target.actions.push_back(&action);
                const bool recorded = transaction([&]() -> store::Error {
                    if (store::Error error =
                            state_.putResource({href, target.uid, QString(), target.data, true});
                        error.failed())
                        return error;
                    const Pairing pair{href, QString(), action.local.date, action.pair.slot, action.local};
                    return state_.putItem(syncedOf(pair, pair.date, pair.slot, action.local));
                });
                if (!recorded)
                    return false;
                targets.emplace(href, std::move(target));
            } else if (action.kind == Action::Kind::Push || action.kind == Action::Kind::PushDelete) {
                targets[action.pair.href].actions.push_back(&action);
            }
        }
        // The creations are recorded as pending before they are asked for.
        if (!endBatch())
            return false;
        std::vector<Write> writes;
        std::vector<QString> hrefs;
        for (auto& [href, target] : targets) {
            if (target.create) {
                writes.push_back({href, QString(), target.data});
                hrefs.push_back(href);
                continue;
            }
            const store::SyncedResource& resource = resources_[href];
            // Without its ETag a resource cannot be written on condition; the next listing brings it.
            if (resource.etag.isEmpty())
                continue;
            std::vector<ItemEdit> edits;
            for (const Action* action : target.actions) {
                edits.push_back(
                    {action->pair.occurrence, action->server,
                     action->kind == Action::Kind::Push ? std::optional(action->local) : std::nullopt,
                     action->pair.slot});
            }
            const std::optional<QByteArray> data = editResource(resource.data, edits);
            if (!data) {
                for (const Action* action : target.actions)
                    report_.notShown.push_back(
                        {action->server.date, action->server.content,
                         QStringLiteral("サーバーの予定を読めないため変更を送れません")});
                continue;
            }
            target.data = *data;
            writes.push_back({href, resource.etag, *data});
            hrefs.push_back(href);
        }
        if (writes.empty())
            return true;
        const Outcome<std::vector<Written>> written = server_.write(writes);
        if (!written.ok()) {
            report_.failure = serverFailure(written.failure());
            return false;
        }
        bool allDone = true;
        if (!beginBatch())
            return false;
        for (size_t i = 0; i < writes.size() && i < written.value().size(); ++i) {
            const Written& result = written.value()[i];
            const Target& target = targets[hrefs[i]];
            if (result.state == Written::State::Done) {
                if (!recordWritten(hrefs[i], target.uid, target.create, writes[i].data, result.etag,
                                   target.actions))
                    return false;
                continue;
            }
            allDone = false;
            if (result.state == Written::State::Failed) {
                if (report_.failure.isEmpty())
                    report_.failure = serverFailure(result.failure);
                continue;
            }
            // The server holds another version than the one the plan saw: the next sync reads it
            // and decides again.
            for (const Action* action : target.actions)
                report_.conflicts.push_back(
                    {action->server.date,
                     action->kind == Action::Kind::Create ? QStringLiteral("（サーバーで変更済み）")
                                                          : describe(action->server),
                     action->kind == Action::Kind::PushDelete ? QStringLiteral("（削除）")
                                                              : describe(action->local)});
        }
        if (!endBatch())
            return false;
        if (written.value().size() < writes.size() && report_.failure.isEmpty())
            report_.failure = QStringLiteral("サーバーの応答が足りません。");
        if (!allDone)
            stopped_ = true;
        return true;
    }

    bool recordWritten(const QString& href, const QString& uid, bool created, const QByteArray& data,
                       const QString& etag, const std::vector<const Action*>& actions) {
        ++effects_;
        return transaction([&]() -> store::Error {
            if (data.isEmpty()) {
                if (store::Error error = state_.removeResource(href); error.failed())
                    return error;
            } else {
                const QString keptUid = created ? uid : resources_.value(href).uid;
                if (store::Error error = state_.putResource({href, keptUid, etag, data, false});
                    error.failed())
                    return error;
            }
            for (const Action* action : actions) {
                if (action->kind == Action::Kind::PushDelete) {
                    ++report_.deletedThere;
                    if (store::Error error = state_.removeItem(href, action->pair.occurrence); error.failed())
                        return error;
                    continue;
                }
                ++report_.sent;
                if (action->kind == Action::Kind::Push) {
                    if (store::Error error = state_.putItem(
                            syncedOf(action->pair, action->local.date, action->pair.slot, action->local));
                        error.failed())
                        return error;
                }
            }
            return {};
        });
    }

    store::SyncState& state_;
    Server& server_;
    const SyncOptions& options_;
    const std::function<QString()>& newUid_;
    SyncReport& report_;
    QHash<QString, store::SyncedResource> resources_;
    QHash<QString, std::pair<QByteArray, ResourceItems>> read_;
    bool stopped_ = false;
    static constexpr int kBatchWork = 256;
    bool batchOpen_ = false;
    int batchWork_ = 0;
    int effects_ = 0; // writes to the file or the server; a pass without any ends the sync
};

} // namespace

QString collectionHash(const QString& collection) {
    return QString::fromLatin1(
        QCryptographicHash::hash(collection.toUtf8(), QCryptographicHash::Sha256).toHex());
}

SyncReport runSync(const QString& schedulePath, const QString& collection, Server& server,
                   const SyncOptions& options) {
    return runSync(schedulePath, collection, server, options, {});
}

SyncReport runSync(const QString& schedulePath, const QString& collection, Server& server,
                   const SyncOptions& options, const std::function<QString()>& newUid) {
    SyncReport report;
    SyncOptions used = options;
    if (!used.range.first.isValid() || !used.range.last.isValid())
        used.range = defaultSyncRange(QDate::currentDate());
    store::SyncState state;
    if (store::Error error = state.open(schedulePath, collectionHash(collection)); error.failed()) {
        report.failure = storeFailure(error);
        return report;
    }
    Sync sync(state, server, used, newUid, report);
    if (!sync.fetch())
        return report;
    bool more = true;
    for (int pass = 0; pass < kMaxPasses && more; ++pass)
        more = sync.pass();
    if (server.takesTodos() && report.failure.isEmpty() && !report.massDeleteStopped && !sync.stopped())
        sync.todoPass();
    // A conflict that a pass could not settle (its slot saved meanwhile) is planned again by the
    // next one: it is listed once.
    std::vector<ReportLine> conflicts;
    for (const ReportLine& line : report.conflicts) {
        if (std::none_of(conflicts.begin(), conflicts.end(), [&](const ReportLine& seen) {
                return seen.date == line.date && seen.text == line.text && seen.other == line.other;
            }))
            conflicts.push_back(line);
    }
    report.conflicts = std::move(conflicts);
    if (report.massDeleteStopped)
        report.failure = QStringLiteral("この同期は多くの予定を削除するため、何も削除せずに止めました。"
                                        "続けるには削除を許可してください。");
    return report;
}

} // namespace calsync

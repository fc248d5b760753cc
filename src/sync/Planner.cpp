#include "sync/Planner.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace calsync {

namespace {

const QString kDeleted = QStringLiteral("（削除）");

qint64 slotKey(const QDate& date, int slot) {
    return date.toJulianDay() * 8 + slot;
}

QString serverKey(const QString& href, const QString& occurrence) {
    return href + QLatin1Char('\n') + occurrence;
}

// Items that may pair on a first meeting: the same date, time and content.
QString sameItemKey(const ItemValue& value) {
    return QString::number(value.date.toJulianDay()) + QLatin1Char('\n') + value.time + QLatin1Char('\n') +
           value.content;
}

ReportLine conflictLine(const QDate& date, const std::optional<ItemValue>& server,
                        const std::optional<ItemValue>& local) {
    return {date, server ? describe(*server) : kDeleted, local ? describe(*local) : kDeleted};
}

} // namespace

Plan planSync(const PlanInput& input) {
    Plan plan;
    plan.localCount = static_cast<int>(input.local.size());
    plan.serverCount = static_cast<int>(input.server.size());
    QHash<qint64, size_t> localAt;
    for (size_t i = 0; i < input.local.size(); ++i)
        localAt.insert(slotKey(input.local[i].value.date, input.local[i].slot), i);
    QHash<QString, size_t> serverAt;
    for (size_t i = 0; i < input.server.size(); ++i)
        serverAt.insert(serverKey(input.server[i].href, input.server[i].occurrence), i);
    std::vector<bool> localTaken(input.local.size());
    std::vector<bool> serverTaken(input.server.size());

    const auto act = [&](Action::Kind kind, const Pairing& pair, const LocalItem* local,
                         const ServerItem* server) {
        Action action{kind, pair, local ? local->value : ItemValue(), server ? server->value : ItemValue(),
                      server ? server->preferredSlot : 0};
        plan.actions.push_back(std::move(action));
    };

    for (const Pairing& pair : input.pairs) {
        const auto l = localAt.constFind(slotKey(pair.date, pair.slot));
        const auto s = serverAt.constFind(serverKey(pair.href, pair.occurrence));
        const LocalItem* local = l == localAt.cend() ? nullptr : &input.local[*l];
        const ServerItem* server = s == serverAt.cend() ? nullptr : &input.server[*s];
        if (local)
            localTaken[*l] = true;
        if (server)
            serverTaken[*s] = true;
        const bool localChanged = !local || local->value != pair.base;
        const bool serverChanged = !server || server->value != pair.base;
        if (!localChanged && !serverChanged)
            continue;
        if (local && server && local->value == server->value) {
            act(Action::Kind::Rebase, pair, local, server);
        } else if (!serverChanged) {
            act(local ? Action::Kind::Push : Action::Kind::PushDelete, pair, local, server);
            plan.deletesThere += local ? 0 : 1;
        } else if (!localChanged) {
            act(server ? Action::Kind::Pull : Action::Kind::PullDelete, pair, local, server);
            plan.deletesHere += server ? 0 : 1;
        } else if (!local && !server) {
            act(Action::Kind::Forget, pair, local, server);
        } else {
            plan.conflicts.push_back(conflictLine(server ? server->value.date : pair.date,
                                                  server ? std::optional(server->value) : std::nullopt,
                                                  local ? std::optional(local->value) : std::nullopt));
            if (local && server && server->value.date == pair.date) {
                act(Action::Kind::KeepBoth, pair, local, server);
                continue;
            }
            // One side deleted what the other changed, or the server's moved to another date:
            // each side's version is kept as a new item of its own.
            act(Action::Kind::Forget, pair, local, server);
            if (local)
                localTaken[*l] = false;
            if (server)
                serverTaken[*s] = false;
        }
    }

    // Items on either side that no pairing names: the same item on both pairs (a first sync, or a
    // sync that was cut off after writing), the others are new.
    QMultiHash<QString, size_t> unpairedServer;
    for (size_t i = input.server.size(); i-- > 0;) {
        if (!serverTaken[i])
            unpairedServer.insert(sameItemKey(input.server[i].value), i);
    }
    for (size_t i = 0; i < input.local.size(); ++i) {
        if (localTaken[i])
            continue;
        const LocalItem& local = input.local[i];
        const auto match = unpairedServer.find(sameItemKey(local.value));
        if (match == unpairedServer.end()) {
            act(Action::Kind::Create, {QString(), QString(), local.value.date, local.slot, local.value},
                &local, nullptr);
            continue;
        }
        const ServerItem& server = input.server[*match];
        serverTaken[*match] = true;
        unpairedServer.erase(match);
        const Pairing pair{server.href, server.occurrence, local.value.date, local.slot, server.value};
        act(local.value == server.value ? Action::Kind::Rebase : Action::Kind::Push, pair, &local, &server);
    }
    for (size_t i = 0; i < input.server.size(); ++i) {
        if (!serverTaken[i])
            act(Action::Kind::Place, {input.server[i].href, input.server[i].occurrence, {}, 0, {}}, nullptr,
                &input.server[i]);
    }
    return plan;
}

bool massDelete(int deletes, int items) {
    return deletes > 50 || (deletes > 10 && deletes * 4 > items);
}

bool massDelete(const Plan& plan) {
    return massDelete(plan.deletesHere, plan.localCount) || massDelete(plan.deletesThere, plan.serverCount);
}

TodoPlan planTodos(const TodoInput& input) {
    TodoPlan plan;
    QHash<QString, int> localLeft;
    for (const QString& text : input.local)
        ++localLeft[text];
    QHash<QString, QString> serverAt;
    for (const auto& [href, text] : input.server)
        serverAt.insert(href, text);
    QSet<QString> serverTaken;
    QStringList paired = input.pairs.keys();
    paired.sort();
    for (const QString& href : paired) {
        const QString& base = input.pairs[href];
        const bool here = localLeft.value(base) > 0;
        if (here)
            --localLeft[base];
        const auto there = serverAt.constFind(href);
        const bool onServer = there != serverAt.cend();
        if (onServer)
            serverTaken.insert(href);
        if (here && onServer && *there == base)
            continue;
        if (here) {
            plan.actions.push_back({onServer ? TodoAction::Kind::ChangeHere : TodoAction::Kind::RemoveHere,
                                    href, base, onServer ? *there : QString()});
            plan.deletesHere += onServer ? 0 : 1;
        } else if (onServer && *there == base) {
            plan.actions.push_back({TodoAction::Kind::DeleteThere, href, base, {}});
            ++plan.deletesThere;
        } else {
            // Deleted here and changed on the server: the server's version is kept as new.
            if (onServer) {
                plan.conflicts.push_back({QDate(), *there, kDeleted});
                serverTaken.remove(href);
            }
            plan.actions.push_back({TodoAction::Kind::Forget, href, base, {}});
        }
    }
    QMultiHash<QString, QString> unpairedServer;
    for (auto it = input.server.crbegin(); it != input.server.crend(); ++it) {
        if (!serverTaken.contains(it->first))
            unpairedServer.insert(it->second, it->first);
    }
    for (const QString& text : input.local) {
        if (localLeft.value(text) == 0)
            continue;
        --localLeft[text];
        const auto match = unpairedServer.find(text);
        if (match == unpairedServer.end()) {
            plan.actions.push_back({TodoAction::Kind::Create, {}, {}, text});
            continue;
        }
        serverTaken.insert(*match);
        plan.actions.push_back({TodoAction::Kind::Pair, *match, {}, text});
        unpairedServer.erase(match);
    }
    for (const auto& [href, text] : input.server) {
        if (!serverTaken.contains(href))
            plan.actions.push_back({TodoAction::Kind::AddHere, href, {}, text});
    }
    return plan;
}

} // namespace calsync

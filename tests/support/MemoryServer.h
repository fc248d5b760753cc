#pragma once
// A calendar collection held in memory that answers like a CalDAV server: every write gets a new
// ETag, a conditional write whose condition fails is a conflict (412), and a sync token names a
// point in the collection's history. Faults on request: the server going away after a number of
// writes (the rest of the batch never happens and the batch fails), or a listing that fails. A
// third client edits it directly, as a phone would.

#include "sync/Server.h"

#include <QMap>
#include <QSet>

#include <functional>
#include <utility>

namespace testsupport {

class MemoryServer : public calsync::Server {
  public:
    struct Stored {
        QString etag;
        QByteArray data;
    };

    bool todos = false;
    int failAfterWrites = -1; // writes that still happen before the server goes away
    bool failListing = false;
    int listings = 0;
    std::function<void()> beforeWrites; // runs once, as the next batch of writes arrives

    bool takesTodos() const override { return todos; }

    calsync::Outcome<calsync::Changes> changesSince(const QString& token,
                                                    const QHash<QString, QString>& known) override {
        ++listings;
        if (failListing)
            return failure(calsync::Failure::Kind::Network);
        calsync::Changes changes;
        bool ok = false;
        const int since = token.toInt(&ok);
        const bool incremental = ok && since >= firstToken_ && since <= version_;
        for (auto it = resources_.cbegin(); it != resources_.cend(); ++it) {
            if (incremental && changedAt_.value(it.key()) <= since)
                continue;
            if (known.value(it.key()) != it->etag || !known.contains(it.key()))
                changes.changed.push_back({it.key(), it->etag, it->data});
        }
        for (auto it = known.cbegin(); it != known.cend(); ++it) {
            if (resources_.contains(it.key()))
                continue;
            if (!incremental || removedAt_.value(it.key()) > since)
                changes.removed << it.key();
        }
        changes.token = QString::number(version_);
        return changes;
    }

    calsync::Outcome<std::vector<calsync::Written>>
    write(const std::vector<calsync::Write>& writes) override {
        if (beforeWrites)
            std::exchange(beforeWrites, {})();
        std::vector<calsync::Written> results;
        for (const calsync::Write& w : writes) {
            if (failAfterWrites == 0)
                return failure(calsync::Failure::Kind::Network);
            if (failAfterWrites > 0)
                --failAfterWrites;
            const auto found = resources_.constFind(w.href);
            const bool exists = found != resources_.cend();
            if (w.ifMatch.isEmpty() ? exists : (!exists || found->etag != w.ifMatch)) {
                results.push_back({calsync::Written::State::Conflict, QString(), {}});
                continue;
            }
            if (w.data.isEmpty())
                remove(w.href);
            else
                put(w.href, w.data);
            results.push_back({calsync::Written::State::Done, resources_.value(w.href).etag, {}});
        }
        return results;
    }

    // The third client's edits.
    void put(const QString& href, const QByteArray& data) {
        if (!resources_.contains(href))
            order_ << href;
        resources_[href] = {QStringLiteral("\"e%1\"").arg(++etags_), data};
        changedAt_[href] = ++version_;
    }
    void remove(const QString& href) {
        resources_.remove(href);
        order_.removeOne(href);
        changedAt_.remove(href);
        removedAt_[href] = ++version_;
    }
    // Tokens older than now are no longer accepted: the next listing is a whole one.
    void forgetTokens() { firstToken_ = version_; }

    const QMap<QString, Stored>& resources() const { return resources_; }
    // The addresses in the order they were made, for a run that must repeat itself.
    const QStringList& hrefs() const { return order_; }

  private:
    static calsync::Failure failure(calsync::Failure::Kind kind) {
        return {kind, QStringLiteral("サーバーに接続できません。"), QStringLiteral("connection refused")};
    }

    QMap<QString, Stored> resources_;
    QStringList order_;
    QHash<QString, int> changedAt_;
    QHash<QString, int> removedAt_;
    int version_ = 0;
    int firstToken_ = 0;
    int etags_ = 0;
};

} // namespace testsupport

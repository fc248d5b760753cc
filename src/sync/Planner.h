#pragma once
// The decisions of one sync, made without the file or the server: from the items of the file now,
// the items of the collection now, and the pairing with each pair's value at the last sync, the
// actions that bring both sides together without losing an item. A pure function, so that every
// rule can be tried on a table of cases.

#include "sync/Engine.h"
#include "sync/Mapping.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace calsync {

// A Day record with content, as the file holds it now.
struct LocalItem {
    int slot = 0;
    ItemValue value; // value.date is the record's date
};

// A Day record paired with an item of a resource, and the item's value at the last sync.
struct Pairing {
    QString href;
    QString occurrence;
    QDate date;
    int slot = 0;
    ItemValue base;
};

struct PlanInput {
    std::vector<LocalItem> local;
    std::vector<ServerItem> server;
    std::vector<Pairing> pairs;
};

struct Action {
    enum class Kind {
        Rebase,     // both sides hold `server` now: only the pairing's value changes
        Pull,       // the server's edit goes into the file (a new date moves the item)
        PullDelete, // the server deleted the item: the slot is emptied
        Push,       // the file's edit goes to the resource
        PushDelete, // the file deleted the item: the resource (or the occurrence) is deleted
        Create,     // a new item of the file becomes a new resource
        Place,      // a new item of the server goes into a free slot of its date
        KeepBoth,   // changed on both sides: the server's into the slot, the file's to a free slot
        Forget,     // the pairing ends; the items on either side are handled as new
    };
    Kind kind;
    Pairing pair;     // the pairing it concerns (Create: the slot and date of the local item)
    ItemValue local;  // the file's item now (what a write to the file expects to find)
    ItemValue server; // the server's item now
    int preferredSlot = 0;
};

struct Plan {
    std::vector<Action> actions;
    std::vector<ReportLine> conflicts;
    int deletesHere = 0;  // slots the plan empties
    int deletesThere = 0; // resources or occurrences the plan deletes
    int localCount = 0;
    int serverCount = 0;
};

Plan planSync(const PlanInput& input);

// The ToDo list against the collection's VTODOs. An entry has no identity but its text: an entry
// edited in the file is the old one deleted and a new one added.
struct TodoInput {
    QStringList local;                               // the texts of the ToDo list now
    std::vector<std::pair<QString, QString>> server; // address and summary of each VTODO
    QHash<QString, QString> pairs;                   // address -> the text at the last sync
};

struct TodoAction {
    enum class Kind {
        AddHere,     // a new VTODO becomes an entry
        ChangeHere,  // the server changed a paired VTODO: the entry `was` becomes `now`
        RemoveHere,  // the server deleted a paired VTODO: the entry `was` goes
        Create,      // a new entry becomes a VTODO
        DeleteThere, // the entry went: its VTODO is deleted
        Pair,        // the same text on both sides, not paired yet
        Forget,      // the pairing ends
    };
    Kind kind;
    QString href;
    QString was;
    QString now;
};

struct TodoPlan {
    std::vector<TodoAction> actions;
    std::vector<ReportLine> conflicts;
    int deletesHere = 0;
    int deletesThere = 0;
};

TodoPlan planTodos(const TodoInput& input);

// Whether a plan deletes more than a sync may without being told to: on either side more than 50
// items, or more than 10 that are more than a quarter of that side's items.
bool massDelete(const Plan& plan);
bool massDelete(int deletes, int items);

} // namespace calsync

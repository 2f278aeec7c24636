#pragma once
// Which of the screen's lists could not be read at their last load (server
// stopped, connection lost, timeout, refusal). Such a list still shows what
// it held before, or nothing when it was never read; it never holds the
// screen's tabs and buttons closed: it can always be read again, and a list
// that was never read takes no new rows.

#include <QSet>

#include <functional>

class TClientTable;
struct ToolActions;

class TListReads {
public:
    // changed: run when a list becomes unread or read again, so the screen
    // applies its enabling rule (no state of the table changes then).
    explicit TListReads(std::function<void()> changed) : m_changed(std::move(changed)) {}

    // Runs a load of the table; a failure marks it unread and passes on.
    void load(TClientTable *table, const std::function<void()> &read);
    // True when the last load of the table failed, or it was never read.
    bool unread(const TClientTable *table) const;
    // The enabling rule's part for an unread list: "Verificar" reads it
    // again; a list never read offers nothing else of its own.
    void restrict(const TClientTable *table, ToolActions &a) const;

private:
    QSet<const TClientTable *> m_failed;
    std::function<void()> m_changed;
};

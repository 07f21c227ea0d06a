// What the main window's pages and the tool windows work with: the session and how the
// changes of a user action are written.
#pragma once

#include <QPointer>
#include <QString>
#include <functional>
#include <map>

class QDialog;
class QWidget;

namespace tw {
class Session;
}

namespace tw::gui {

struct WindowContext
{
    Session& session;
    /// Why the prefix is read-only (a running Wine); empty when it is writable.
    QString readOnlyReason;
    /// Writes what an action changed; returns an error text, empty on success. When it is
    /// not set nothing is written (screenshots).
    std::function<QString()> commitChanges;
    /// Ends the program normally (after the hand-over to the updater).
    std::function<void()> endProgram;
    /// Called when readOnlyReason changed (the main window's banner follows it).
    std::function<void()> stateChanged = {};
    /// The tool windows made so far, by tool-table row; each is made once and kept (with its
    /// boxes and lists) for the life of the main window.
    std::map<const void*, QPointer<QDialog>> toolWindows = {};

    bool isReadOnly() const { return !readOnlyReason.isEmpty(); }
    /// Writes the changes; a failure is shown over `parent`.
    void commit(QWidget* parent) const;
    /// Once Wine, which held the prefix, has ended: reads the registry again and lifts the
    /// read-only state; readOnlyReason follows the prefix. Call it between actions. Does
    /// nothing where nothing is written (screenshots). True when the state changed.
    bool followPrefix();
};

/// Runs a user action; an error that escapes it is shown over `parent` and the window goes
/// on. Returns false when the action ended with an error.
bool guarded(QWidget* parent, const std::function<void()>& action);

} // namespace tw::gui

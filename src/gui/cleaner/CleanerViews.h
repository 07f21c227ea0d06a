// What the junk cleaner's windows share: the look of their lists and the folder browser.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QTableView;
class QWidget;

namespace tw::gui {

/// Report view: whole-row selection, grid lines, read-only, the given column widths.
void setReportLook(QTableView* view, const QList<int>& widths);

/// The desktop's folder browser with `title`; the host folder chosen, or none when the user
/// cancelled.
std::optional<QString> browseForFolder(QWidget* parent, const QString& title,
                                       const QString& startFolder);
/// Replaces the folder browser (tests and screenshots): the handler answers instead.
void setFolderBrowser(std::function<std::optional<QString>(const QString& title)> handler);

} // namespace tw::gui

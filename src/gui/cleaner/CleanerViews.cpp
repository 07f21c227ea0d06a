#include "CleanerViews.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTableView>

namespace tw::gui {

namespace {
std::function<std::optional<QString>(const QString&)> g_folderBrowser;
}

void setReportLook(QTableView* view, const QList<int>& widths)
{
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(20);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setWordWrap(false);
    for (int i = 0; i < widths.size(); ++i)
        view->setColumnWidth(i, widths[i]);
    view->horizontalHeader()->setStretchLastSection(true);
}

std::optional<QString> browseForFolder(QWidget* parent, const QString& title,
                                       const QString& startFolder)
{
    if (g_folderBrowser)
        return g_folderBrowser(title);
    const QString folder = QFileDialog::getExistingDirectory(parent, title, startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

void setFolderBrowser(std::function<std::optional<QString>(const QString& title)> handler)
{
    g_folderBrowser = std::move(handler);
}

} // namespace tw::gui

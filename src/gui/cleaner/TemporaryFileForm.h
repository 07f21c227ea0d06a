// TTemporaryFileForm: the dialog in which one junk file type is entered.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace tw::gui {

class TTemporaryFileForm : public QDialog
{
    Q_OBJECT
public:
    /// `title` is the caller's ("Add a new file type to search for...", ...).
    TTemporaryFileForm(const QString& title, QWidget* parent = nullptr);

    /// Fills both fields, as Edit does.
    void setTexts(const QString& pattern, const QString& description);
    /// The texts as entered, untrimmed.
    QString pattern() const;
    QString description() const;

    QLineEdit* edExtension = nullptr;
    QLineEdit* edDesc = nullptr;
    QPushButton* mrOkBtn = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    /// OK is enabled exactly when the pattern holds more than blanks and control characters.
    void edExtensionChange();
};

} // namespace tw::gui

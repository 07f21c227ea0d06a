#include "TemporaryFileForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::gui {

TTemporaryFileForm::TTemporaryFileForm(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Enter the filename with extension you want to search for..."), this));
    layout->addSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("File Extension"), this));
    edExtension = new QLineEdit(this);
    layout->addWidget(edExtension);
    layout->addWidget(new QLabel(QStringLiteral("Description of Above Filter"), this));
    edDesc = new QLineEdit(this);
    layout->addWidget(edDesc);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    mrOkBtn = new QPushButton(QStringLiteral("OK"), this);
    mrOkBtn->setDefault(true);
    mrOkBtn->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(mrOkBtn);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    connect(edExtension, &QLineEdit::textChanged, this, [this] { edExtensionChange(); });
    connect(mrOkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(360, sizeHint().height());
}

void TTemporaryFileForm::setTexts(const QString& pattern, const QString& description)
{
    edExtension->setText(pattern);
    edDesc->setText(description);
    edExtensionChange();
}

QString TTemporaryFileForm::pattern() const
{
    return edExtension->text();
}

QString TTemporaryFileForm::description() const
{
    return edDesc->text();
}

void TTemporaryFileForm::edExtensionChange()
{
    const QString text = edExtension->text();
    bool blank = true;
    for (const QChar c : text)
        blank = blank && c.unicode() <= ' ';
    mrOkBtn->setEnabled(!blank);
}

} // namespace tw::gui

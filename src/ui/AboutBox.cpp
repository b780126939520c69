#include "AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "DialogTexts.h"
#include "MoverIcon.h"
#include "UiText.h"

#ifndef QX_VERSION
#define QX_VERSION "0.1.0"
#endif

namespace qx {

AboutBox::AboutBox(const StringTable& t, QWidget* parent) : QDialog(parent) {
    setWindowTitle(uiText(t, kTxtAboutTitle));
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel;
    icon->setPixmap(moverIcon().pixmap(48, 48));
    row->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* title = new QLabel(uiText(t, kStrTitle));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    texts->addWidget(title);
    texts->addWidget(new QLabel(uiString(t.format(kTxtVersion, QX_VERSION))));
    texts->addWidget(new QLabel(uiText(t, kTxtAboutText)));
    row->addLayout(texts);
    top->addLayout(row);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(uiText(t, kTxtOk), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    top->addWidget(buttons);
}

}  // namespace qx

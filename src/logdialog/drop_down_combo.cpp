#include "drop_down_combo.h"

#include <QLineEdit>

DropDownCombo::DropDownCombo(QWidget *parent) : QComboBox(parent)
{
    auto *edit = new QLineEdit(this);
    // The combo box picks the entry that matches the text when editing ends.
    // Connected around its own handler, these mark that moment so that the
    // index change it makes is not taken for a pick.
    connect(edit, &QLineEdit::editingFinished, this, [this] { finishingEdit_ = true; });
    setLineEdit(edit);
    connect(edit, &QLineEdit::editingFinished, this, [this] { finishingEdit_ = false; });

    // Typed text is only text: no completion into an entry, no new entries.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);

    connect(this, &QComboBox::editTextChanged, this, [this](const QString &text) {
        if (listIndex_ != -1 && text != itemText(listIndex_))
            listIndex_ = -1;
    });
    connect(this, &QComboBox::currentIndexChanged, this, &DropDownCombo::Picked);
    // Picking the entry that is still current (after typing over it) changes
    // no index, only the text; the combo box reports it as activated.
    connect(this, &QComboBox::activated, this, &DropDownCombo::Picked);
}

void DropDownCombo::SetListIndex(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    setCurrentIndex(index);
    listIndex_ = index;
}

void DropDownCombo::Picked(int index)
{
    if (!finishingEdit_ && index >= 0 && lineEdit()->text() == itemText(index))
        listIndex_ = index;
}

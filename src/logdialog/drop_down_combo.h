// An editable drop-down list whose ListIndex counts only an entry picked
// from the list. QComboBox keeps its current index while the user types and
// picks the entry matching typed text when editing ends; here typed text
// never chooses an entry and deselects the one chosen before.
#pragma once

#include <QComboBox>

class DropDownCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownCombo(QWidget *parent = nullptr);

    // The entry picked from the list, or -1 while the text field does not
    // hold it (typed over, or none picked).
    [[nodiscard]] int ListIndex() const { return listIndex_; }
    // Selects entry `index` and shows it in the text field; -1 selects none.
    void SetListIndex(int index);

private:
    void Picked(int index);

    int listIndex_ = -1;
    bool finishingEdit_ = false;
};

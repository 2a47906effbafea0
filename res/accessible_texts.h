#pragma once

// What assistive technology says about a dialog's controls: the name of a control that has no
// text of its own and no label beside it, and a description of what each control does. A
// control whose name is null is named by its own text or by the label that leads to it.
struct CAccessibleText {
    int dialogId = 0;
    int controlId = 0;
    const char* name = nullptr;
    const char* description = "";
};

// The texts of one control; null when it has none.
const CAccessibleText* FindAccessibleText(int dialogId, int controlId);

// The controls of the plug-in's dialog as a person finds them, by the label
// beside them, and the ways a person gives each kind a value.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host/cli/dialog_session.h"
#include "host/cli/terminal_services.h"

enum class ControlKind {
    Field,   // edit field, with or without an up-down
    List,    // drop-down list
    Check,   // check box
    Colour,  // colour button: the host's colour chooser gives its colour
    Pad,     // direction pad: a cell is clicked
    Button,  // a push button, not a setting
    Other,   // shown but not set from outside (the picture path)
};

struct LabelledControl {
    HWND window = nullptr;
    std::string label;     // as shown, without "&" and a trailing ":"
    std::string rowLabel;  // the label of the control before it on its row, if any
    ControlKind kind = ControlKind::Other;
};

// A label as a person reads it: no "&", no trailing ":", no case, single spaces.
std::string NormalLabel(const std::string& text);

// The labelled controls now shown on the effect's page (ids 100 to 1198), or
// those of the dialog itself, in window order.
std::vector<LabelledControl> PageControls(HWND dialog);
std::vector<LabelledControl> OwnControls(HWND dialog);

// The control a label names: on the page, else on the dialog itself. A label
// that names several controls of one place is matched with its row's label
// before it ("Color 2 Enable"). Throws StepError saying what there is.
LabelledControl FindLabelledControl(HWND dialog, const std::string& label);

// Gives the control the value as a person would; colour buttons take their
// colour through the host's chooser, so services answers it. Throws
// StepError when the value does not suit the control or the control did
// not take it.
void SetControl(const LabelledControl& control, const std::string& value, TerminalServices& services);

// A drop-down list's item named by text: exactly (case aside), else by a
// unique beginning. Throws StepError listing the items.
int FindListItem(HWND list, const std::string& wanted, const std::string& what);
std::vector<std::string> ListItems(HWND list);

// Selects the list item as a person would and checks that it took.
void ChooseListItem(HWND list, int index, const std::string& what);

// Checks or clears a box; a disabled box already in that state is fine.
void SetCheckBox(HWND box, bool checked, const std::string& what);

// The control with this id, or StepError naming what is missing.
HWND DialogItem(HWND dialog, int id, const std::string& what);
// The button with this text, or StepError.
HWND DialogButton(HWND dialog, const std::string& label);
void ClickButton(HWND button, const std::string& what);

// The colour in "#rrggbb" as 0x00BBGGRR; false for anything else.
bool ParseColour(const std::string& text, COLORREF& colour);
// "on", "off" and their kin; false for anything else.
bool ParseSwitch(const std::string& text, bool& on);

// The window's controls as one table: name (the object name), type, parent, place in twips and
// caption. Also the way each kind of option control shows and gives a stored value.
#pragma once

#include "SettingsStore.h"

#include <QString>

class QWidget;

namespace tarnivo {

// Twips as pixels (15 twips to a pixel).
int Pixels(int twips);

// Sizes the window, sets its font and makes every control of the table, in the table's order
// (which is the tab order). The job list is a JobListView, the hidden frame-sorting list a
// QTreeWidget.
void LayOutWindow(QWidget* window);

// The skin: the window, its option buttons, check boxes, frames and labels painted in the
// button face colour, and the skin file's style sheet. Throws when the file cannot be read.
void ApplySkinFile(QWidget* window, const QString& skinFile);

// The profile list with the profile names and no choice, the custom panel's boxes with their
// suggestions and empty texts.
void FillLists(QWidget* window);

// A control's value as the settings store keeps it: a text as typed, a check state as "0"
// (clear), "1" (checked) or "2" (greyed), an option button as "True" or "False".
QString StoredText(const QWidget* control);
// Shows a stored value in a box, a check box or an option button. A list to choose from (not
// editable) throws when the value is not one of its entries.
void ShowStoredText(QWidget* control, const QString& value);

// Every stored option written from its control, in the keys' order.
void SaveStoredOptions(const QWidget* window);
// The profile and the custom panel as the controls show them.
StoredChoices ShownChoices(const QWidget* window);

}  // namespace tarnivo

// The window's controls as one table: name (the object name), type, parent, place in twips and
// caption. Also the way each kind of option control shows and gives a stored value.
#pragma once

#include "SettingsStore.h"

#include <QSize>
#include <QString>

class QWidget;

namespace tarnivo {

// Twips as pixels (15 twips to a pixel).
int Pixels(int twips);

// Sizes the window, sets its font and makes every control of the table, in the table's order
// (which is the tab order). The job list is a JobListView, the hidden frame-sorting list a
// QTreeWidget.
void LayOutWindow(QWidget* window);

// The designed client size, which is also the window's smallest.
QSize DesignedWindowSize();

// Places the controls for the window's present size. At the designed size every control
// stands where the table puts it. A larger window gives its extra height to the job list, and
// everything below the list keeps its distance to the bottom edge; the extra width goes to the
// rows that span the window (the list, the output folder's field, the profile list, the
// button, the bar; the "..." button keeps to the right end), and the rows of two halves share
// it. The custom panel's controls keep their places inside their frames.
void PlaceControls(QWidget* window);

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

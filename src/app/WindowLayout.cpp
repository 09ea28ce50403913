#include "WindowLayout.h"

#include "ConversionEvents.h"
#include "JobListView.h"
#include "ProfileCatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tarnivo {

namespace {

constexpr double kTextPoints = 9;
constexpr double kButtonPoints = 11.25;
constexpr int kTwipsPerPixel = 15;

enum class Type {
    JobList,       // the job list
    HiddenList,    // the frame sorting table, below the client area and never seen
    Button,        // in the buttons' larger font
    Frame,         // a group box with its caption
    TextBox,       // a one-line text
    ProfileList,   // a list to choose from
    OptionBox,     // an editable box whose list only suggests: what is typed is kept as typed
    Label,         // the caption of an option box
    CheckBox,      // with three states
    OptionButton,  // a radio button
    ProgressBar,   // 0 to 100, its caption as its text
};

struct Control {
    const char* name;  // empty for a label
    Type type;
    const char* parent;  // empty for the window itself
    int left, top, width, height;
    QString caption;
};

// clang-format off
const std::vector<Control>& Controls()
{
    static const std::vector<Control> controls = {
        {"ListView1", Type::JobList, "", 120, 120, 7800, 1815, {}},
        {"PushButton1", Type::Button, "", 120, 2040, 3840, 405, QStringLiteral("Add Video File(s)")},
        {"PushButton4", Type::Button, "", 4080, 2040, 3840, 405, QStringLiteral("Add All Video File(s) In Folder")},
        {"PushButton3", Type::Button, "", 120, 2550, 3840, 405, QStringLiteral("Clear List")},
        {"PushButton6", Type::Button, "", 4080, 2550, 3840, 405, QStringLiteral("Load Sample/Example Files")},
        {"Frame2", Type::Frame, "", 120, 3000, 7800, 800, QStringLiteral("Save Results To This Folder")},
        {"Text2", Type::TextBox, "Frame2", 240, 300, 6495, 345, {}},
        {"PushButton2", Type::Button, "Frame2", 6840, 300, 705, 345, QStringLiteral("...")},
        {"Frame3", Type::Frame, "", 120, 3870, 7800, 800, QStringLiteral("Profile")},
        {"Combo1", Type::ProfileList, "Frame3", 240, 300, 4905, 345, {}},
        {"Check3", Type::CheckBox, "Frame3", 5280, 322, 2385, 300, QStringLiteral("Forward, then backward")},
        {"Frame4", Type::Frame, "", 120, 4740, 3840, 3255, QStringLiteral("Video (Profile = Custom Format)")},
        {"", Type::Label, "Frame4", 240, 360, 945, 240, QStringLiteral("Codec")},
        {"", Type::Label, "Frame4", 240, 840, 945, 240, QStringLiteral("Bitrate")},
        {"", Type::Label, "Frame4", 240, 1320, 945, 240, QStringLiteral("Framerate")},
        {"", Type::Label, "Frame4", 240, 1800, 945, 240, QStringLiteral("Size")},
        {"", Type::Label, "Frame4", 240, 2280, 945, 240, QStringLiteral("Extension")},
        {"Combo2", Type::OptionBox, "Frame4", 1200, 300, 2295, 345, {}},
        {"Combo3", Type::OptionBox, "Frame4", 1200, 780, 2295, 345, {}},
        {"Combo7", Type::OptionBox, "Frame4", 1200, 1260, 2295, 345, {}},
        {"Combo8", Type::OptionBox, "Frame4", 1200, 1740, 2295, 345, {}},
        {"Combo9", Type::OptionBox, "Frame4", 1200, 2220, 2295, 345, {}},
        {"Check1", Type::CheckBox, "Frame4", 240, 2760, 1425, 300, QStringLiteral("SameQuality")},
        {"Check2", Type::CheckBox, "Frame4", 1680, 2760, 1425, 300, QStringLiteral("DeInterlace")},
        {"Frame5", Type::Frame, "", 4080, 4740, 3840, 3255, QStringLiteral("Audio (Profile = Custom Format)")},
        {"", Type::Label, "Frame5", 240, 360, 945, 240, QStringLiteral("Codec")},
        {"", Type::Label, "Frame5", 240, 840, 945, 240, QStringLiteral("Bitrate")},
        {"", Type::Label, "Frame5", 240, 1320, 945, 240, QStringLiteral("Samples")},
        {"", Type::Label, "Frame5", 240, 1800, 945, 240, QStringLiteral("Channels")},
        {"Combo4", Type::OptionBox, "Frame5", 1200, 300, 2295, 345, {}},
        {"Combo5", Type::OptionBox, "Frame5", 1200, 780, 2295, 345, {}},
        {"Combo6", Type::OptionBox, "Frame5", 1200, 1260, 2295, 345, {}},
        {"Option1", Type::OptionButton, "Frame5", 1200, 1800, 840, 300, QStringLiteral("Mono")},
        {"Option2", Type::OptionButton, "Frame5", 2040, 1800, 1200, 300, QStringLiteral("Stereo")},
        {"PushButton5", Type::Button, "", 120, 8130, 7800, 405, kStartButtonCaption},
        {"ProgressBar1", Type::ProgressBar, "", 120, 8655, 7800, 405, kIdleProgressText},
        {"ListView2", Type::HiddenList, "", 120, 9750, 7800, 1215, {}},
    };
    return controls;
}
// clang-format on

// Arial bold where it is installed, else the default sans-serif font in bold.
QFont windowFont(double points)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (QFontDatabase::hasFamily(QStringLiteral("Arial")))
        font.setFamily(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPointSizeF(points);
    return font;
}

// The controls' places were laid out for Arial; a wider font is made smaller where a caption would
// not fit its place.
void shrinkToFit(QWidget* widget, const QString& caption, int room)
{
    QFont font = widget->font();
    while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(caption) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
}

void shrinkChoiceToFit(QAbstractButton* button, int width)
{
    const int indicator = button->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          button->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    shrinkToFit(button, button->text(), width - indicator);
}

QWidget* makeControl(const Control& control, QWidget* parent)
{
    switch (control.type) {
    case Type::JobList:
    case Type::HiddenList: {
        auto* list = control.type == Type::JobList ? new JobListView(parent) : new QTreeWidget(parent);
        list->setColumnCount(0);
        return list;
    }
    case Type::Button: {
        auto* button = new QPushButton(control.caption, parent);
        button->setFont(windowFont(kButtonPoints));
        return button;
    }
    case Type::Frame:
        return new QGroupBox(control.caption, parent);
    case Type::TextBox:
        return new QLineEdit(parent);
    case Type::ProfileList:
        return new QComboBox(parent);
    case Type::OptionBox: {
        auto* box = new QComboBox(parent);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        return box;
    }
    case Type::Label:
        return new QLabel(control.caption, parent);
    case Type::CheckBox:
        return new QCheckBox(control.caption, parent);
    case Type::OptionButton:
        return new QRadioButton(control.caption, parent);
    case Type::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(true);
        bar->setAlignment(Qt::AlignCenter);
        bar->setFormat(control.caption);
        return bar;
    }
    }
    return nullptr;
}

QRect designedPlace(const Control& control)
{
    return QRect(Pixels(control.left), Pixels(control.top), Pixels(control.width), Pixels(control.height));
}

// Where a control stands in a window that is `extra` larger than designed.
QRect placeInLargerWindow(const Control& control, QSize extra)
{
    // The window's columns in twips: a full row, and its left and right halves.
    constexpr int fullWidth = 7800;
    constexpr int leftHalf = 120;
    constexpr int rightHalf = 4080;
    const int dx = extra.width();
    QRect place = designedPlace(control);
    const QLatin1String parent(control.parent);
    if (parent.isEmpty()) {
        if (control.type == Type::JobList)
            return place.adjusted(0, 0, dx, extra.height());
        place.translate(0, extra.height());
        if (control.width == fullWidth)
            place.setWidth(place.width() + dx);
        else if (control.left == leftHalf)
            place.setWidth(place.width() + dx / 2);
        else if (control.left == rightHalf)
            place.adjust(dx / 2, 0, dx, 0);
    } else if (parent == QLatin1String("Frame2") || parent == QLatin1String("Frame3")) {
        // A field across the frame, and maybe a button or a check box at its right end.
        if (control.type == Type::Button || control.type == Type::CheckBox)
            place.translate(dx, 0);
        else
            place.setWidth(place.width() + dx);
    }
    return place;
}

}  // namespace

int Pixels(int twips) { return qRound(double(twips) / kTwipsPerPixel); }

QSize DesignedWindowSize() { return {Pixels(8040), Pixels(9180)}; }

void PlaceControls(QWidget* window)
{
    const QSize extra = (window->size() - DesignedWindowSize()).expandedTo(QSize(0, 0));
    for (const Control& control : Controls()) {
        if (!*control.name)
            continue;  // a label of the custom panel: it keeps its place
        if (auto* widget = window->findChild<QWidget*>(QLatin1String(control.name)))
            widget->setGeometry(placeInLargerWindow(control, extra));
    }
}

void LayOutWindow(QWidget* window)
{
    window->setMinimumSize(DesignedWindowSize());
    window->resize(DesignedWindowSize());
    window->setFont(windowFont(kTextPoints));
    for (const Control& control : Controls()) {
        QWidget* parent =
            *control.parent ? window->findChild<QWidget*>(QLatin1String(control.parent)) : window;
        QWidget* widget = makeControl(control, parent);
        widget->setObjectName(QLatin1String(control.name));
        widget->setGeometry(designedPlace(control));
        if (control.type == Type::Label)
            shrinkToFit(widget, control.caption, widget->width());
        else if (auto* choice = qobject_cast<QAbstractButton*>(widget);
                 choice && control.type != Type::Button)
            shrinkChoiceToFit(choice, widget->width());
    }
}

void ApplySkinFile(QWidget* window, const QString& skinFile)
{
    const QColor buttonFace = window->palette().color(QPalette::Button);
    QList<QWidget*> painted{window};
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            painted << child;
    }
    for (QWidget* widget : painted) {
        QPalette colours = widget->palette();
        colours.setColor(QPalette::Window, buttonFace);
        widget->setPalette(colours);
        widget->setAutoFillBackground(true);
    }
    QFile skin(skinFile);
    if (!skin.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read the skin " + skinFile.toStdString());
    window->setStyleSheet(QString::fromUtf8(skin.readAll()));
}

void FillLists(QWidget* window)
{
    auto* profiles = window->findChild<QComboBox*>(QStringLiteral("Combo1"));
    for (const std::string& name : ProfileNames())
        profiles->addItem(QString::fromStdString(name));
    profiles->setCurrentIndex(-1);
    const CustomOptionLists& lists = OptionLists();
    const std::pair<const char*, const std::vector<std::string>*> suggestions[] = {
        {"Combo2", &lists.videoCodecs},   {"Combo3", &lists.videoBitrates}, {"Combo4", &lists.audioCodecs},
        {"Combo5", &lists.audioBitrates}, {"Combo6", &lists.audioSamples},  {"Combo7", &lists.frameRates},
        {"Combo8", &lists.frameSizes},    {"Combo9", &lists.extensions}};
    for (const auto& [name, entries] : suggestions) {
        auto* box = window->findChild<QComboBox*>(QLatin1String(name));
        for (const std::string& entry : *entries)
            box->addItem(QString::fromStdString(entry));
        box->setEditText(QString());
    }
}

QString StoredText(const QWidget* control)
{
    if (auto* box = qobject_cast<const QComboBox*>(control))
        return box->currentText();
    if (auto* check = qobject_cast<const QCheckBox*>(control)) {
        const Qt::CheckState state = check->checkState();
        return QString::number(state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0);
    }
    if (auto* button = qobject_cast<const QRadioButton*>(control))
        return button->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
    return QString();
}

void ShowStoredText(QWidget* control, const QString& value)
{
    auto* box = qobject_cast<QComboBox*>(control);
    if (box && !box->isEditable()) {
        const int index = box->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
        box->setCurrentIndex(index);
        if (index < 0)
            throw std::runtime_error("Invalid property value");
    } else if (box) {
        box->setEditText(value);
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        const int state = value.toInt();
        check->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    } else if (auto* button = qobject_cast<QRadioButton*>(control)) {
        button->setChecked(value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
    }
}

void SaveStoredOptions(const QWidget* window)
{
    auto keyNumber = [](const OptionKey& option) { return QByteArray(option.key).mid(2).toInt(); };
    std::vector<OptionKey> keys(OptionKeysInRestoreOrder().begin(), OptionKeysInRestoreOrder().end());
    std::sort(keys.begin(), keys.end(),
              [&](const OptionKey& a, const OptionKey& b) { return keyNumber(a) < keyNumber(b); });
    for (const OptionKey& option : keys)
        WriteSetting(QLatin1String(option.key),
                     StoredText(window->findChild<QWidget*>(QLatin1String(option.control))));
}

StoredChoices ShownChoices(const QWidget* window)
{
    return ChoicesFromStoredTexts([window](const OptionKey& option) {
        return StoredText(window->findChild<QWidget*>(QLatin1String(option.control)));
    });
}

}  // namespace tarnivo

// How the job list draws a file: its small picture, then its name on the first line and, below
// it, its length, picture size and folder, the folder shortened in its middle when the room is
// short. The name is never shortened for the folder: a name wider than the column goes on over
// the second line instead. And a header whose hint wraps onto a second line instead of being
// cut.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace tarnivo {

// The data of a row's file column besides its text (the path): the picture (QImage) and the
// facts text ("0:42 · 320×240").
constexpr int kPictureRole = Qt::UserRole + 1;
constexpr int kFactsRole = Qt::UserRole + 2;
// The part of the film reversed (seconds, see FilmPart; none for the whole film), shown after
// the facts; and what the row's last job made of it (kept with the list between runs): its
// state (SavedRow::State), the file made or why it failed, and whether a restored row was
// finished before (the job leaves it as it is).
constexpr int kPartFromRole = Qt::UserRole + 3;
constexpr int kPartToRole = Qt::UserRole + 4;
constexpr int kStateRole = Qt::UserRole + 5;
constexpr int kOutcomeRole = Qt::UserRole + 6;
constexpr int kFinishedRole = Qt::UserRole + 7;

// The two lines shown for a file in the given width (in the font's measure): the name, and the
// facts with the folder; or, for a name wider than the width, the name over both lines (only a
// name wider than two lines loses its middle).
struct RowLines {
    QString name;
    QString details;
    bool nameGoesOn = false;  // the second line is the rest of the name
};
RowLines LinesForPath(const QString& path, const QString& facts, const QFontMetrics& metrics, int width);

class FilmRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The lines as paint() draws them in the option's rectangle.
    RowLines Lines(const QStyleOptionViewItem& option, const QModelIndex& index) const;

private:
    struct Areas {
        QRect picture;
        QRect name;
        QRect details;
    };
    static Areas AreasOf(const QStyleOptionViewItem& option);
};

// A header two lines high whose captions wrap at word boundaries.
class WrappingHeader : public QHeaderView {
public:
    explicit WrappingHeader(QWidget* parent = nullptr);

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override;
};

}  // namespace tarnivo

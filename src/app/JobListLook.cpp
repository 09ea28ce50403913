#include "JobListLook.h"

#include "FilmPart.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>

namespace tarnivo {

namespace {

constexpr int kMargin = 3;   // around a row's content
constexpr int kSpacing = 6;  // between the picture and the text
const QString kSeparator = QStringLiteral(" \u00b7 ");

QStyle* styleOf(const QStyleOptionViewItem& option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}

// The picture box is as high as the two lines, in the shape of a wide film.
QSize pictureBox(const QFontMetrics& metrics)
{
    const int height = 2 * metrics.lineSpacing();
    return {height * 16 / 9, height};
}

}  // namespace

RowLines LinesForPath(const QString& path, const QString& facts, const QFontMetrics& metrics, int width)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    QString name = path.mid(slash + 1);
    QString folder = slash > 0 ? path.left(slash) : slash == 0 ? QStringLiteral("/") : QString();
    if (name.isEmpty()) {  // a path that ends in "/": all of it is the name
        name = path;
        folder.clear();
    }
    RowLines lines;
    if (metrics.horizontalAdvance(name) > width) {
        // Broken after the last blank that fits, else where the line is full; the rest loses
        // its middle only when it is wider than the second line (the extension stays).
        int fits = 0;
        while (fits < name.size() && metrics.horizontalAdvance(name.left(fits + 1)) <= width)
            ++fits;
        const int blank = name.lastIndexOf(QLatin1Char(' '), fits - 1);
        const int cut = std::max(1, blank > 0 ? blank + 1 : fits);
        lines.name = name.left(cut);
        lines.details = metrics.elidedText(name.mid(cut), Qt::ElideMiddle, width);
        lines.nameGoesOn = true;
        return lines;
    }
    lines.name = name;
    const QString lead = facts.isEmpty() || folder.isEmpty() ? facts : facts + kSeparator;
    const int folderRoom = width - metrics.horizontalAdvance(lead);
    if (folderRoom < 4 * metrics.horizontalAdvance(QChar(0x2026)))
        lines.details = metrics.elidedText(facts.isEmpty() ? folder : facts, Qt::ElideRight, width);
    else
        lines.details = lead + metrics.elidedText(folder, Qt::ElideMiddle, folderRoom);
    return lines;
}

FilmRowDelegate::Areas FilmRowDelegate::AreasOf(const QStyleOptionViewItem& option)
{
    const QFontMetrics metrics(option.font);
    const QRect content = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QSize box = pictureBox(metrics);
    Areas areas;
    areas.picture = QRect(QPoint(content.left(), content.top() + (content.height() - box.height()) / 2), box);
    const int textLeft = areas.picture.right() + 1 + kSpacing;
    const int lineHeight = metrics.lineSpacing();
    const int textTop = content.top() + (content.height() - 2 * lineHeight) / 2;
    areas.name = QRect(textLeft, textTop, std::max(0, content.right() + 1 - textLeft), lineHeight);
    areas.details = areas.name.translated(0, lineHeight);
    return areas;
}

RowLines FilmRowDelegate::Lines(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QString facts = index.data(kFactsRole).toString();
    if (index.data(kPartFromRole).isValid()) {
        const QString part =
            FilmPartText({index.data(kPartFromRole).toDouble(), index.data(kPartToRole).toDouble()});
        facts = facts.isEmpty() ? part : facts + QStringLiteral(" \u00b7 ") + part;
    }
    return LinesForPath(index.data(Qt::DisplayRole).toString(), facts, QFontMetrics(option.font),
                        AreasOf(option).name.width());
}

void FilmRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const RowLines lines = Lines(item, index);
    // The row's background, selection and focus as the style draws them, without its text.
    item.text.clear();
    item.icon = QIcon();
    item.features &= ~QStyleOptionViewItem::HasDisplay;
    styleOf(item)->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const Areas areas = AreasOf(item);
    painter->save();
    const QImage picture = index.data(kPictureRole).value<QImage>();
    if (!picture.isNull()) {
        QRect shown(QPoint(), picture.size().scaled(areas.picture.size(), Qt::KeepAspectRatio));
        shown.moveCenter(areas.picture.center());
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(shown, picture);
    }
    const bool selected = item.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        item.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(areas.name, Qt::AlignLeft | Qt::AlignVCenter, lines.name);
    if (!lines.nameGoesOn)
        painter->setPen(
            item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->drawText(areas.details, Qt::AlignLeft | Qt::AlignVCenter, lines.details);
    painter->restore();
}

QSize FilmRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics metrics(option.font);
    const int width = QStyledItemDelegate::sizeHint(option, index).width() + pictureBox(metrics).width();
    return {width, 2 * metrics.lineSpacing() + 2 * kMargin};
}

WrappingHeader::WrappingHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setStretchLastSection(true);
    setTextElideMode(Qt::ElideNone);
    setDefaultAlignment(Qt::Alignment::fromInt(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap));
}

QSize WrappingHeader::sectionSizeFromContents(int logicalIndex) const
{
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.setHeight(size.height() + fontMetrics().lineSpacing());
    return size;
}

}  // namespace tarnivo

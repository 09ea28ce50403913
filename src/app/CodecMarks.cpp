#include "CodecMarks.h"

#include "ConversionSettings.h"
#include "JobPlan.h"

#include <QBrush>
#include <QComboBox>
#include <QPalette>

namespace tarnivo {

namespace {

void markList(QComboBox& box, const QSet<QString>& encoders, std::string ConversionSettings::*codec)
{
    const QBrush greyed = box.palette().brush(QPalette::Disabled, QPalette::Text);
    for (int index = 0; index < box.count(); ++index) {
        ConversionSettings settings;
        settings.*codec = box.itemText(index).toStdString();
        for (const QString& encoder : EncodersUsed(settings, QString())) {
            if (encoders.contains(encoder))
                continue;
            box.setItemData(index, greyed, Qt::ForegroundRole);
            box.setItemData(index,
                            QStringLiteral("The ffmpeg of this system cannot write this (no encoder \"%1\").")
                                .arg(encoder),
                            Qt::ToolTipRole);
            break;
        }
    }
}

}  // namespace

void MarkCodecsFfmpegCannotWrite(QComboBox& videoCodecs, QComboBox& audioCodecs,
                                 const QSet<QString>& encoders)
{
    markList(videoCodecs, encoders, &ConversionSettings::videoCodec);
    markList(audioCodecs, encoders, &ConversionSettings::audioCodec);
}

}  // namespace tarnivo

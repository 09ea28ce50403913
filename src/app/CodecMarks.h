// The custom panel's codec lists keep every designed entry; an entry this system's ffmpeg cannot
// write is shown greyed, with a tooltip that says so, once ffmpeg's encoders are known. It can
// still be picked (the boxes take any text); the job then refuses it before any work.
#pragma once

#include <QSet>
#include <QString>

class QComboBox;

namespace tarnivo {

void MarkCodecsFfmpegCannotWrite(QComboBox& videoCodecs, QComboBox& audioCodecs,
                                 const QSet<QString>& encoders);

}  // namespace tarnivo

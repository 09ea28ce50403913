#include "ConvertFLV.h"

#include "AVC.h"
#include "MessageSink.h"

namespace tarnivo {

ConversionAttempt ConvertFLV(AVC& AVC1, const QString& SourcePath, const QString& ProfileName,
                             const QString& InputPath, const QString& outputFolderText,
                             const CustomFormatValues& custom, MessageSink& sink)
{
    (void)AVC1, (void)SourcePath, (void)ProfileName, (void)InputPath, (void)outputFolderText, (void)custom,
        (void)sink;
    return ConversionAttempt();
}

}  // namespace tarnivo

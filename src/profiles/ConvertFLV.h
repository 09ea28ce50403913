// Applying an output profile: the profile's engine settings, a free output name in the output
// folder, and the conversion itself.
#pragma once

#include "ConversionSettings.h"
#include "FramePictures.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tarnivo {

class AVC;
class MessageSink;
class OutputFolder;
class ResultCheck;
class RunningTools;

// The custom-format panel as it stands, handed over as plain values.
struct CustomFormatValues {
    QString extension;         // Combo9, with its leading "." as typed (or without)
    QString videoSize;         // Combo8
    QString videoFrameRate;    // Combo7
    QString videoBitrate;      // Combo3
    QString videoCodec;        // Combo2
    QString audioCodec;        // Combo4
    QString audioBitrate;      // Combo5
    QString audioSamples;      // Combo6
    int sameQualityState = 0;  // Check1: 0 clear, 1 checked, 2 greyed
    int deInterlaceState = 0;  // Check2
    bool mono = false;         // Option1
    bool stereo = true;        // Option2
};

// The engine settings and the output extension that a profile (or, for "Custom Format", the
// custom panel) gives; nothing when the name is not a profile.
struct ProfileChoice {
    ConversionSettings settings;
    QString extension;
};
std::optional<ProfileChoice> ChoiceFor(const QString& ProfileName, const CustomFormatValues& custom);

// What one ConvertFLV call did.
struct ConversionAttempt {
    enum class Result {
        Started,            // the engine was asked to convert (its own events tell the rest)
        ProfileNotDefined,  // "Not Supported" was shown; nothing was converted
        NoFreeName,         // every name up to the last number was taken; nothing was converted
        Refused,            // the output folder cannot take it (failure says why); nothing was converted
    };
    Result result = Result::ProfileNotDefined;
    QString temporary;    // the DestFile handed to the engine: a hidden file of this call's own
    QString destination;  // the final name of the whole result; empty when nothing was made
    QString failure;      // when nothing was made: why
    QString note;         // what the user should know of a result that was made (a shortened name)
    // What the check of a started conversion needs: the names the result may take, and the
    // temporary file's name in the output folder.
    QString base;
    QString extension;
    QString shownName;
    QString temporaryName;
    bool Made() const { return !destination.isEmpty(); }
};

// Starts the conversion of SourcePath (the reversed intermediate) into ProfileName in the held
// output folder, under a name made from InputPath's file name that no existing file has. The
// engine starts from empty settings on every call.
//
// ffmpeg writes into a temporary file of this call's own in the output folder; the engine's
// Complete tells when it has ended, and ConversionCheck then gives a whole result its final
// name. Where the reversal says what SourcePath's picture is, its pictures are read in its
// colours and at its constant rate. Returns at once: Started when the engine was asked to
// convert (a refusal of the engine's own leaves its reason in failure, and the engine is then
// not converting), otherwise why nothing was converted.
ConversionAttempt ConvertFLV(AVC& AVC1, const QString& SourcePath, const QString& ProfileName,
                             const QString& InputPath, const OutputFolder& outputFolder,
                             const CustomFormatValues& custom, MessageSink& sink,
                             const IntermediatePicture& sourcePicture = IntermediatePicture());

// After a started conversion's tool has ended: only a whole result (ffmpeg's status 0, no failed
// write, and a length that matches SourcePath's when read back, or the frames the reversal
// made) is given its final name, the first free one of the order clip, clip0, clip1 ..., taken
// without replacing anything, its base name shortened where the folder's file system allows no
// longer name. Otherwise the temporary file is deleted and nothing else is touched. A folder
// that was moved or deleted during the conversion gets nothing, and the attempt says so.
class ConversionCheck : public QObject {
    Q_OBJECT

public:
    ConversionCheck(RunningTools& tools, MessageSink& sink, QObject* parent = nullptr);
    ~ConversionCheck() override;

    // run is how the engine's last run ended. Returns at once; Finished follows from the event
    // loop with the attempt completed.
    void Start(const ConversionAttempt& attempt, const AVC& AVC1, const OutputFolder& outputFolder,
               const QString& SourcePath, const IntermediatePicture& sourcePicture);
    void Stop();

signals:
    void Finished(const tarnivo::ConversionAttempt& attempt);

private:
    void Publish(const QString& readBackProblem);

    RunningTools& m_tools;
    MessageSink& m_sink;
    ConversionAttempt m_attempt;
    const OutputFolder* m_folder = nullptr;
    QString m_moved;
    ResultCheck* m_check = nullptr;
};

// Why InputPath's output in ProfileName cannot be made in the output folder, told before its
// reversal: the folder was moved or deleted, or the profile's extension leaves no room for a
// name there. Empty when it can (also for a name that is not a profile, which ConvertFLV tells).
QString OutputProblem(const OutputFolder& outputFolder, const QString& InputPath, const QString& ProfileName,
                      const CustomFormatValues& custom);

}  // namespace tarnivo

Q_DECLARE_METATYPE(tarnivo::ConversionAttempt)

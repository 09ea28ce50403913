// A part of a film, reversed instead of the whole of it: from one moment to another, in seconds
// on the film's own timeline as players show it (0 at the file's start). And the times as users
// write and read them: seconds ("12.5") or hours, minutes and seconds ("1:02:03.5", "2:03").
#pragma once

#include <QString>

#include <optional>

namespace tarnivo {

struct FilmPart {
    double from = 0;  // seconds; 0: from the film's start
    double to = -1;   // seconds; below 0: to the film's end

    bool IsWhole() const { return from <= 0 && to < 0; }
    bool operator==(const FilmPart& other) const { return from == other.from && to == other.to; }
    bool operator!=(const FilmPart& other) const { return !(*this == other); }
};

// A time as a user writes it: seconds with an optional fraction ("12", "12.5"), or minutes and
// seconds ("2:03.25"), or hours, minutes and seconds ("1:02:03.5"), the minutes and seconds
// after a colon below 60. Nothing when the text is no such time (empty, negative, "1:75").
std::optional<double> ParseFilmTime(const QString& text);

// A time as Tarnivo writes it, to the millisecond without trailing zeros: "0:10", "1:05.25",
// "1:02:03.5".
QString FilmTimeText(double seconds);

// "0:10 to 0:20", "0:10 to the end", "0:00 to 0:20".
QString FilmPartText(const FilmPart& part);

// Why a part cannot be a part of any film (it ends before it starts); empty when it can.
QString FilmPartProblem(const FilmPart& part);

}  // namespace tarnivo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The catalogue XML: one <Movie .../> element per film, its data in attributes (Number,
// OriginalTitle, TranslatedTitle, Director, Writer, Actors, Country, Year, Length (minutes),
// Category, Description, Comments, VideoFormat, VideoBitrate and AudioBitrate (kbit/s),
// AudioFormat, Resolution ("640x352"), Framerate, Size (MB), Disks), inside
// <Catalog><Contents>. What these attributes cannot hold exactly (the seconds of a duration,
// the cinematographer, the watched mark...) we write in further attributes named after our
// fields, which a reader of that format passes over and our reader prefers.

#include "filmfields.h"

#include <string>
#include <utility>
#include <vector>

namespace welarik::exchange {

// The film as the format's attributes, in writing order.
std::vector<std::pair<std::string, std::string>> movieAttributes(const FilmValues &film);
// Back: attribute name -> value pairs of one <Movie> element.
FilmValues filmOfMovie(const std::vector<std::pair<std::string, std::string>> &attributes);

} // namespace welarik::exchange

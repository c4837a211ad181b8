#pragma once

namespace korimo::platform {

// Maps the classic Chinese UI face "宋体" (and its Latin name) to the Song/Ming face installed on
// this machine, with a Hei face as fallback. Call once, after the application object exists.
void installFontSubstitutions();

} // namespace korimo::platform

#pragma once

#include <string>

namespace kelditra {

// Sets the program up for scripts/screenshot.sh: the dialog with a path typed
// in, then a conversion with its progress window. Before each picture it
// writes NAME.rect into folder (the screen area, as ImageMagick's WxH+X+Y)
// and waits for the script to answer with NAME.done. Returns the exit status.
int PoseForScreenshots(const std::string& exe, const std::string& folder);

}  // namespace kelditra

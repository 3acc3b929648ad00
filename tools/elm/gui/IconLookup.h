#pragma once

#include <QPixmap>

#include <string>

namespace elmgui {

/// The picture a resource catalog names for a widget ("I_ELMAbout"): the
/// PNG of that name in an icons folder beside the catalogs (the directories
/// of ELMHOST_CATALOG_PATH and their parents' icons folders, then the
/// installed and the source resources). A name without a picture gives an
/// empty framed square of the same size, so the layout is still what the
/// dialog asks for.
QPixmap IconPixmap(const std::string& name);

}  // namespace elmgui

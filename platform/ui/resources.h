#pragma once
// Resources compiled into a library with Qt's resource system and found through the library's
// module handle, as a Windows library's bitmaps and icons are found through its instance.
// A library registers its resource root while it is loaded (AfxInitExtensionModule in its
// start-up code) and releases it when it is unloaded (AfxTermExtensionModule).
//
// Layout below a root such as ":/lnkhold": bitmap/<id>.svg or .png, icon/<id>.svg or .png.

#include <QIcon>
#include <QPixmap>
#include <string>

#include "platform/module_handle.h"

namespace platform {

struct AFX_EXTENSION_MODULE {
    bool bInitialized = false;
    HINSTANCE hModule = nullptr;
    std::string resourceRoot;
};

// Makes the module's resources (under resourceRoot) reachable through its handle. False for a
// null handle or an empty root.
bool AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HINSTANCE instance,
                            const char* resourceRoot);
void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module);

// The resource root registered for a handle; empty when it has none.
std::string resourceRootOf(HINSTANCE instance);

// Bitmap resource `id` of the instance, rendered for the device pixel ratio (an SVG is drawn
// at its natural size times the ratio, the result carries the ratio). Null when missing.
QPixmap loadBitmapResource(HINSTANCE instance, int id, qreal devicePixelRatio = 1.0);
// Icon resource `id` of the instance, sharp at every scale; null icon when missing.
QIcon loadIconResource(HINSTANCE instance, int id);
// The natural size of icon `id` in pixels at 100 % (what the icon's resource says); empty
// when missing.
QSize iconResourceSize(HINSTANCE instance, int id);

}  // namespace platform

#include "skin/skin_attachment.h"

#include "app/probe.h"
#include "platform/files.h"
#include "platform/late_functions.h"
#include "platform/process.h"
#include "skin/carried_data.h"

#include <vector>

namespace skin {

void EnsureSkinEngineFile() {
    std::string path = platform::ExecutableFolder() + "\\SkinH_EL.dll";
    // Any entry of that name counts, file or folder, whatever it holds: nothing is repaired.
    if (platform::EntryExists(path)) {
        return;
    }
    ByteBlock image = SkinEngineImage();
    platform::WriteNewFile(path, image.data, image.size);
    platform::SetHiddenAttributeOnly(path);
}

void AttachSkin(int number) {
    EnsureSkinEngineFile();
    ByteBlock carried = CarriedSkin(number);
    // The engine gets a copy that lives only for the call.
    std::vector<unsigned char> buffer(carried.data, carried.data + carried.size);
    const char noPassword[] = "";
    app::ProbeEvent(buffer.empty() ? "SkinH_AttachRes:none" : "SkinH_AttachRes:skin");
    late::SkinH_AttachRes(buffer.empty() ? nullptr : buffer.data(), static_cast<int>(buffer.size()),
                          noPassword, 0, 0, 0);
}

void EnableSkinAero() {
    EnsureSkinEngineFile();
    late::SkinH_SetAero(1);
}

} // namespace skin

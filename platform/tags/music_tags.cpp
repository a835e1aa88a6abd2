#include "platform/tags/music_tags.h"

#include "platform/os/os.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

std::u16string tagText(const TagLib::String& value) {
    std::u16string out;
    if (value.isEmpty() || !osUtf8ToWide(value.toCString(true), &out) || out.size() >= MUSIC_TAG_LENGTH_LIMIT) {
        out.clear();
    }
    return out;
}

}  // namespace

bool readMusicTags(const char16_t* path, SMusicTags* out) {
    *out = SMusicTags{};
    if (!path || !path[0]) return false;
    const std::string systemPath = osSystemPathW(path);
    // Audio properties are not read: the scan only wants the names.
    TagLib::FileRef file(systemPath.c_str(), false);
    if (file.isNull() || !file.tag()) return false;
    const TagLib::Tag* tag = file.tag();
    out->title = tagText(tag->title());
    out->artist = tagText(tag->artist());
    out->album = tagText(tag->album());
    return true;
}

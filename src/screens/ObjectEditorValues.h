#pragma once

#include "TScreenMarker.h"
#include "TextStyles.h"

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvane {

class ProfileStore;
class TagTable;

// What the object editor's controls hold: each list as its selected entry (-1 selects
// nothing), each edit as its UTF-8 text.
struct ObjectEditorValues {
    int typeEntry = 0; // position in kObjectKinds
    int tagEntry = 0;
    int styleEntry = 0;
    int actionEntry = 0;
    int labelSetEntry = 0;
    std::string position;    // LabelPosition
    std::string enumeration; // EditEnum
    std::string text;        // EditLabel
    std::string presetValue;
    std::string presetCaption;
    std::string symbol = "Select symbol...";
    bool confirm = false; // CheckBoxConfirm
    // A graphical symbol's picture per tag value: entry 0 is no tag, entry i + 1 tag i.
    int symbolTagEntry = 0;
    std::string symbolPictures{}; // EditSymbolPictures
    std::string symbolNoValue{};  // EditSymbolNoValue

    bool operator==(const ObjectEditorValues&) const = default;
};

// The controls for `object` when the dialog shows, starting from what they held at the
// last use (`previous`). A new object gets the first entry of every list, empty
// multi-state and static texts and no question before writing; an existing one shows its
// own tag, style and type, the attributes its type uses and whether it asks before
// writing. The tag, style and label-set lists are refilled at every show, so an existing
// object whose type does not choose a label set shows none.
ObjectEditorValues LoadEditorValues(const TScreenMarker& object, bool isNew,
                                    ObjectEditorValues previous);

// What saving reports besides the changed object.
struct EditorSaveResult {
    // A writing type bound to an input tag: the dialog must stay open.
    bool inputTagForWrite = false;
    // The preset value text did not convert; the value stays 0.
    std::optional<std::string> presetError;
    // The value=picture pairs of a graphical symbol did not read: the dialog stays open.
    std::optional<std::string> symbolPicturesError;
};

// Reads the controls into `object`: tag, style and type, then the attributes of the type
// with every other attribute reset to 0, empty and 0.0; only a type that writes keeps the
// question before writing. A graphical symbol takes the tag and the value=picture pairs
// it follows (a symbol without a tag keeps none), then loads its pictures, taking the
// picture's size only when `isNew`; pairs that do not read are reported. A writing type whose tag
// is an input tag is reported, after the object took every value. With no tag selected (an empty
// tag table, or a stored tag index beyond it) there is no tag to test and the object is accepted. A
// text left as it was shown keeps its stored bytes.
EditorSaveResult ApplyEditorValues(const ObjectEditorValues& values, const TagTable& tags,
                                   bool isNew, TScreenMarker& object);

// The type list's entry for a type code; entry 0 when no entry has that code.
int TypeEntry(int32_t type);
// The type code of a type list entry; the first entry's for a position outside the list.
int32_t TypeOfEntry(int entry);
// The type names in list order, spelled as the editor shows them.
std::vector<std::string> EditorTypeNames();

// The dialog's panels that depend on the object type.
enum class EditorPanel { Tag, Action, Style, Labels, Text, Preset, Symbol, Enumeration };
inline constexpr std::array kEditorPanels{
    EditorPanel::Tag,  EditorPanel::Action, EditorPanel::Style,  EditorPanel::Labels,
    EditorPanel::Text, EditorPanel::Preset, EditorPanel::Symbol, EditorPanel::Enumeration};
bool ShowsPanel(EditorPanel panel, int32_t type);
// Heights in pixels: the panels always shown, then each type-dependent panel.
inline constexpr int kEditorTopLineHeight = 27;
inline constexpr int kEditorPanelHeight = 40; // also the type and position panels
inline constexpr int kEditorButtonsHeight = 41;
int EditorPanelHeight(EditorPanel panel);
// The dialog's outer height for a type: its visible panels plus 60 pixels.
int EditorOuterHeight(int32_t type);

// "1. Boiler" for every index of a tag table of `tagCount` tags, the names read from
// the "Channel.N" sections of the file.
std::vector<std::string> TagListEntries(const ProfileStore& config, size_t tagCount);
// The binary label sets "Strings" / "Marker.Binary.N" from 0 up to the first empty one.
std::vector<std::string> LabelSetList(const ProfileStore& config);

inline constexpr std::string_view kStringsSection = "Strings";
std::string LabelSetKey(int labelSet);
std::string FunctionButtonKey(int action);

// What an input box's answer writes over the stored text it was shown: nothing for an
// empty answer, the stored bytes when the answer is the text as shown, else the answer.
std::optional<std::string> StoredAnswer(std::string_view stored, std::string_view answer);

// The symbol path stored for a picture file chosen anywhere: the path relative to the
// folder that holds `galleryFolder`, with "\" separators, less its first component.
// "pumps\pump.emf" for <gallery>/pumps/pump.emf; a file outside the gallery gives a path
// that does not lead back to it.
std::string GalleryRelativeSymbolPath(const std::filesystem::path& chosen,
                                      const std::filesystem::path& galleryFolder);

} // namespace halvane

#include "ObjectEditorValues.h"

#include "ConversionMessages.h"
#include "NumberFormat.h"
#include "ProfileStore.h"
#include "StoredText.h"
#include "SymbolGraphic.h"
#include "TagTable.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace halvane {

namespace {

constexpr int kPresetPanelHeight = 80;
constexpr int kWindowExtra = 60;
// Always shown: the top line, the type and position panels and the buttons.
constexpr int kFixedHeight = kEditorTopLineHeight + 2 * kEditorPanelHeight + kEditorButtonsHeight;

// The objects that write their tag.
bool IsWriteType(int32_t type) {
    return type == kNumericInput || type == kPresetValueButton || type == kReservedWriteType;
}

std::string PositionText(const TScreenMarker& object) {
    return std::to_string(object.Left) + "," + std::to_string(object.Top) + " px";
}

void LoadTypeAttributes(const TScreenMarker& object, ObjectEditorValues& values) {
    const std::string text = StoredTextToUtf8(object.AttrStr1);
    switch (object.Type) {
    case kBinaryDisplay:
        values.labelSetEntry = object.AttrInt1;
        break;
    case kMultiStateDisplay:
        values.enumeration = text;
        break;
    case kFunctionButton:
        values.actionEntry = object.AttrInt1;
        break;
    case kStaticText:
        values.text = text;
        break;
    case kPresetValueButton:
        values.presetCaption = text;
        values.presetValue = FormatGeneral(object.AttrDouble1);
        break;
    case kGraphicalSymbol:
        values.symbol = text;
        values.symbolTagEntry = object.States.Tag + 1;
        values.symbolPictures = StoredTextToUtf8(object.States.Pictures);
        values.symbolNoValue = StoredTextToUtf8(object.States.NoValue);
        break;
    default:
        break;
    }
}

// Sets the attributes that the object's type uses; the preset value's conversion failure
// is returned.
std::optional<std::string> ApplyTypeAttributes(const ObjectEditorValues& values,
                                               const std::string& storedText, bool isNew,
                                               TScreenMarker& object) {
    switch (object.Type) {
    case kBinaryDisplay:
        object.AttrInt1 = values.labelSetEntry;
        break;
    case kMultiStateDisplay:
        object.AttrStr1 = TextToStore(values.enumeration, storedText);
        break;
    case kFunctionButton:
        object.AttrInt1 = values.actionEntry;
        break;
    case kStaticText:
        object.AttrStr1 = TextToStore(values.text, storedText);
        break;
    case kPresetValueButton: {
        object.AttrStr1 = TextToStore(values.presetCaption, storedText);
        const auto preset = ParseFloat(values.presetValue);
        if (!preset)
            return NotAFloatMessage(values.presetValue);
        object.AttrDouble1 = *preset;
        break;
    }
    case kGraphicalSymbol:
        object.AttrStr1 = TextToStore(values.symbol, storedText);
        LoadSymbolGraphic(object, isNew);
        break;
    default:
        break;
    }
    return std::nullopt;
}

// The tag and pictures a graphical symbol follows; other types, and a symbol without a
// tag, follow none. The reason when the pairs do not read.
std::optional<std::string> ApplySymbolStates(const ObjectEditorValues& values,
                                             TScreenMarker& object) {
    object.States = {};
    if (object.Type != kGraphicalSymbol)
        return std::nullopt;
    ParsedSymbolPictures parsed = ParseSymbolPictures(values.symbolPictures);
    if (parsed.Error || values.symbolTagEntry <= 0)
        return parsed.Error;
    object.States.Tag = values.symbolTagEntry - 1;
    object.States.Pictures = FormatSymbolPictures(parsed.Pairs);
    object.States.NoValue = values.symbolNoValue;
    return std::nullopt;
}

bool BoundToInputTag(const TScreenMarker& object, const TagTable& tags) {
    if (object.Channel < 0 || static_cast<size_t>(object.Channel) >= tags.Size())
        return false;
    return !tags.Snapshot(static_cast<size_t>(object.Channel)).IsOutputTag();
}

} // namespace

ObjectEditorValues LoadEditorValues(const TScreenMarker& object, bool isNew,
                                    ObjectEditorValues previous) {
    ObjectEditorValues values = std::move(previous);
    values.position = PositionText(object);
    values.typeEntry = TypeEntry(object.Type);
    if (isNew) {
        values.tagEntry = values.styleEntry = values.actionEntry = values.labelSetEntry = 0;
        values.enumeration.clear();
        values.text.clear();
        values.confirm = false;
        values.symbolTagEntry = 0;
        values.symbolPictures.clear();
        values.symbolNoValue.clear();
        return values;
    }
    values.tagEntry = object.Channel;
    values.styleEntry = object.UseStyle;
    values.labelSetEntry = -1;
    values.confirm = object.Confirm;
    LoadTypeAttributes(object, values);
    return values;
}

EditorSaveResult ApplyEditorValues(const ObjectEditorValues& values, const TagTable& tags,
                                   bool isNew, TScreenMarker& object) {
    object.Channel = values.tagEntry;
    object.UseStyle = values.styleEntry;
    object.Type = TypeOfEntry(values.typeEntry);
    EditorSaveResult result;
    result.inputTagForWrite = IsWriteType(object.Type) && BoundToInputTag(object, tags);
    const std::string storedText = std::move(object.AttrStr1);
    object.AttrInt1 = 0;
    object.AttrStr1.clear();
    object.AttrDouble1 = 0.0;
    object.Confirm = values.confirm && CanAskBeforeWriting(object.Type);
    result.symbolPicturesError = ApplySymbolStates(values, object);
    result.presetError = ApplyTypeAttributes(values, storedText, isNew, object);
    return result;
}

int TypeEntry(int32_t type) {
    const auto kind = std::find_if(kObjectKinds.begin(), kObjectKinds.end(),
                                   [type](const ObjectKind& k) { return k.type == type; });
    return kind == kObjectKinds.end() ? 0 : static_cast<int>(kind - kObjectKinds.begin());
}

int32_t TypeOfEntry(int entry) {
    if (entry < 0 || static_cast<size_t>(entry) >= kObjectKinds.size())
        return kObjectKinds.front().type;
    return kObjectKinds[static_cast<size_t>(entry)].type;
}

std::vector<std::string> EditorTypeNames() {
    std::vector<std::string> names;
    std::transform(kObjectKinds.begin(), kObjectKinds.end(), std::back_inserter(names),
                   [](const ObjectKind& kind) {
                       // The palette writes the symbol's name in lower case.
                       return kind.type == kGraphicalSymbol ? "Graphical Symbol"
                                                            : std::string(kind.name);
                   });
    return names;
}

bool ShowsPanel(EditorPanel panel, int32_t type) {
    switch (panel) {
    case EditorPanel::Tag:
        return IsTagBoundType(type);
    case EditorPanel::Action:
        return type == kFunctionButton;
    case EditorPanel::Style:
        return type != kGraphicalSymbol;
    case EditorPanel::Labels:
        return type == kBinaryDisplay;
    case EditorPanel::Text:
        return type == kStaticText;
    case EditorPanel::Preset:
        return type == kPresetValueButton;
    case EditorPanel::Symbol:
        return type == kGraphicalSymbol;
    case EditorPanel::Enumeration:
        return type == kMultiStateDisplay;
    }
    return false;
}

int EditorPanelHeight(EditorPanel panel) {
    return panel == EditorPanel::Preset ? kPresetPanelHeight : kEditorPanelHeight;
}

int EditorOuterHeight(int32_t type) {
    return std::accumulate(kEditorPanels.begin(), kEditorPanels.end(), kFixedHeight + kWindowExtra,
                           [type](int height, EditorPanel panel) {
                               return ShowsPanel(panel, type) ? height + EditorPanelHeight(panel)
                                                              : height;
                           });
}

std::vector<std::string> TagListEntries(const ProfileStore& config, size_t tagCount) {
    std::vector<std::string> entries;
    for (size_t i = 0; i < tagCount; ++i) {
        const std::string name = config.ReadString("Channel." + std::to_string(i), "Name", "");
        entries.push_back(std::to_string(i + 1) + ". " + StoredTextToUtf8(name));
    }
    return entries;
}

std::vector<std::string> LabelSetList(const ProfileStore& config) {
    std::vector<std::string> sets;
    for (int n = 0;; ++n) {
        const std::string labels = config.ReadString(kStringsSection, LabelSetKey(n), "");
        if (labels.empty())
            return sets;
        sets.push_back(StoredTextToUtf8(labels));
    }
}

std::string LabelSetKey(int labelSet) {
    return "Marker.Binary." + std::to_string(labelSet);
}

std::string FunctionButtonKey(int action) {
    return "FunctionButton." + std::to_string(action);
}

std::optional<std::string> StoredAnswer(std::string_view stored, std::string_view answer) {
    if (answer.empty())
        return std::nullopt;
    return TextToStore(std::string(answer), std::string(stored));
}

std::string GalleryRelativeSymbolPath(const std::filesystem::path& chosen,
                                      const std::filesystem::path& galleryFolder) {
    // The gallery folder's own name counts as a file name: paths are taken relative to the
    // folder above it, so a picture in the gallery gives "gallery\...".
    const std::filesystem::path reference = galleryFolder.lexically_normal().parent_path();
    std::string relative = chosen.lexically_normal().lexically_relative(reference).generic_string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    const size_t first = relative.find('\\');
    return first == std::string::npos ? relative : relative.substr(first + 1);
}

} // namespace halvane

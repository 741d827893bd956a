#include "platform/duilib/ui_builder.h"

#include <pugixml.hpp>

#include <cwchar>

#include "platform/duilib/ui_container.h"
#include "platform/duilib/ui_controls.h"
#include "platform/duilib/ui_list.h"
#include "platform/duilib/ui_manager.h"
#include "platform/duilib/ui_resource.h"

namespace DuiLib {

namespace {

// Controls nest at most this deep. Building, layout and painting recurse once per level, so a
// deeper layout is refused before it can exhaust the stack.
constexpr int kMaxLayoutDepth = 256;

struct BuildContext {
  IDialogBuilderCallback* callback;
  CPaintManagerUI* manager;
  std::wstring source;
  bool too_deep = false;
};

CControlUI* BuildControl(const pugi::xml_node& node, BuildContext& ctx, int depth) {
  if (depth > kMaxLayoutDepth) {
    ctx.too_deep = true;
    return nullptr;
  }
  const std::wstring tag = Utf8ToWide(node.name());
  CControlUI* control = CDialogBuilder::CreateBuiltinControl(tag.c_str());
  if (!control && ctx.callback) control = ctx.callback->CreateControl(tag.c_str());
  if (!control) {
    UiLog(UiLogLevel::kWarning, L"layout '%ls': unknown control <%ls> skipped", ctx.source.c_str(),
          tag.c_str());
    return nullptr;
  }
  if (ctx.manager) {
    if (const wchar_t* defaults = ctx.manager->GetDefaultAttributeList(tag.c_str())) {
      control->ApplyAttributeList(defaults);
    }
  }
  for (const pugi::xml_attribute& attr : node.attributes()) {
    control->SetAttribute(Utf8ToWide(attr.name()).c_str(), Utf8ToWide(attr.value()).c_str());
  }
  auto* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"));
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    if (!container) {
      UiLog(UiLogLevel::kWarning, L"layout '%ls': <%ls> cannot hold <%hs>", ctx.source.c_str(),
            tag.c_str(), child.name());
      continue;
    }
    if (CControlUI* item = BuildControl(child, ctx, depth + 1)) container->Add(item);
    if (ctx.too_deep) break;
  }
  return control;
}

void ApplyWindow(const pugi::xml_node& window, BuildContext& ctx) {
  for (const pugi::xml_attribute& attr : window.attributes()) {
    std::wstring name = Utf8ToWide(attr.name());
    std::wstring value = Utf8ToWide(attr.value());
    if (!ctx.manager->SetWindowAttribute(name.c_str(), value.c_str())) {
      UiLog(UiLogLevel::kWarning, L"layout '%ls': window attribute %ls=\"%ls\" ignored",
            ctx.source.c_str(), name.c_str(), value.c_str());
    }
  }
  for (const pugi::xml_node& font : window.children("Font")) {
    ctx.manager->AddFont(font.attribute("id").as_int(-1),
                         Utf8ToWide(font.attribute("name").value()).c_str(),
                         font.attribute("size").as_int(12), font.attribute("bold").as_bool(),
                         font.attribute("underline").as_bool(), font.attribute("italic").as_bool(),
                         font.attribute("default").as_bool());
  }
  for (const pugi::xml_node& def : window.children("Default")) {
    ctx.manager->AddDefaultAttributeList(Utf8ToWide(def.attribute("name").value()).c_str(),
                                         Utf8ToWide(def.attribute("value").value()).c_str());
  }
}

}  // namespace

CControlUI* CDialogBuilder::CreateBuiltinControl(const wchar_t* name) {
  struct Entry {
    const wchar_t* name;
    CControlUI* (*make)();
  };
  static const Entry kControls[] = {
      {L"Control", [] { return new CControlUI; }},
      {L"Container", []() -> CControlUI* { return new CContainerUI; }},
      {L"VerticalLayout", []() -> CControlUI* { return new CVerticalLayoutUI; }},
      {L"HorizontalLayout", []() -> CControlUI* { return new CHorizontalLayoutUI; }},
      {L"TabLayout", []() -> CControlUI* { return new CTabLayoutUI; }},
      {L"TileLayout", []() -> CControlUI* { return new CTileLayoutUI; }},
      {L"Label", []() -> CControlUI* { return new CLabelUI; }},
      {L"Text", []() -> CControlUI* { return new CTextUI; }},
      {L"Button", []() -> CControlUI* { return new CButtonUI; }},
      {L"Option", []() -> CControlUI* { return new COptionUI; }},
      {L"CheckBox", []() -> CControlUI* { return new CCheckBoxUI; }},
      {L"Progress", []() -> CControlUI* { return new CProgressUI; }},
      {L"Slider", []() -> CControlUI* { return new CSliderUI; }},
      {L"Edit", []() -> CControlUI* { return new CEditUI; }},
      {L"Animation", []() -> CControlUI* { return new CAnimationUI; }},
      {L"PngAnim", []() -> CControlUI* { return new CPngAnimUI; }},
      {L"List", []() -> CControlUI* { return new CListUI; }},
      {L"ListLabelElement", []() -> CControlUI* { return new CListLabelElementUI; }},
      {L"ListContainerElement", []() -> CControlUI* { return new CListContainerElementUI; }},
      {L"Combo", []() -> CControlUI* { return new CComboUI; }},
      {L"ScrollBar", []() -> CControlUI* { return new CScrollBarUI; }},
  };
  for (const Entry& entry : kControls) {
    if (wcscmp(entry.name, name) == 0) return entry.make();
  }
  return nullptr;
}

CControlUI* CDialogBuilder::Create(const wchar_t* xml, const wchar_t* /*type*/,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
  if (!xml) return nullptr;
  std::string bytes;
  BuildContext ctx{callback, manager, L""};
  const wchar_t* p = xml;
  while (*p == L' ' || *p == L'\r' || *p == L'\n' || *p == L'\t' || *p == 0xFEFF) ++p;
  if (*p == L'<') {
    bytes = WideToUtf8(p);
    ctx.source = L"(text)";
  } else {
    ctx.source = xml;
    if (!CResourceStore::Read(xml, &bytes)) {
      UiLog(UiLogLevel::kError, L"layout '%ls' not found", xml);
      return nullptr;
    }
  }
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_buffer(bytes.data(), bytes.size());
  if (!result) {
    UiLog(UiLogLevel::kError, L"layout '%ls' is malformed: %hs at offset %d", ctx.source.c_str(),
          result.description(), static_cast<int>(result.offset));
    return nullptr;
  }
  pugi::xml_node root = doc.document_element();
  CControlUI* control = nullptr;
  if (strcmp(root.name(), "Window") == 0) {
    if (manager) ApplyWindow(root, ctx);
    for (const pugi::xml_node& child : root.children()) {
      if (child.type() != pugi::node_element || strcmp(child.name(), "Font") == 0 ||
          strcmp(child.name(), "Default") == 0) {
        continue;
      }
      control = BuildControl(child, ctx, 1);
      break;
    }
  } else {
    control = BuildControl(root, ctx, 1);
  }
  if (ctx.too_deep) {
    UiLog(UiLogLevel::kError, L"layout '%ls' nests controls deeper than %d levels",
          ctx.source.c_str(), kMaxLayoutDepth);
    delete control;
    return nullptr;
  }
  if (!control) {
    UiLog(UiLogLevel::kError, L"layout '%ls' has no usable root control", ctx.source.c_str());
    return nullptr;
  }
  if (parent) {
    auto* container = static_cast<CContainerUI*>(parent->GetInterface(L"Container"));
    if (!container || !container->Add(control)) {
      delete control;
      return nullptr;
    }
  }
  return control;
}

}  // namespace DuiLib

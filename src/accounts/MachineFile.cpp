#include "accounts/MachineFile.h"

#include "accounts/AccountLookup.h"
#include "accounts/GroupOperations.h"
#include "frame/Handles.h"

#include <ole2.h>

#include <new>

namespace ih::accounts {

namespace {

// The document class and the interfaces of the document object model.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kAttributeInterface = {0x2933BF85, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr DWORD kAnyClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

constexpr wchar_t kRolesQuery[] = L"configuration/components/configurationManager/security/roles/*";
constexpr wchar_t kRoleNameAttribute[] = L"name";
constexpr wchar_t kSidTag[] = L"SID";

// What a visit of one role decides.
enum class Visit { Next, Stop };

UniqueBstr Bstr(std::wstring_view text) {
    UniqueBstr bstr = MakeBstr(text);
    if (!bstr) throw std::bad_alloc();
    return bstr;
}

std::wstring TextOf(const UniqueBstr& text) {
    return text ? std::wstring(text.get(), ::SysStringLen(text.get())) : std::wstring();
}

HRESULT OpenDocument(ComPtr<IXMLDOMDocument>& document) {
    ComPtr<IUnknown> object;
    HRESULT result = ::CoCreateInstance(kDomDocumentClass, nullptr, kAnyClassContext, IID_IUnknown, object.put_void());
    if (FAILED(result)) return result;
    if (FAILED(result = ::OleRun(object.get()))) return result;
    if (FAILED(result = object->QueryInterface(kDocumentInterface, document.put_void()))) return result;
    return document ? S_OK : E_NOINTERFACE;
}

HRESULT RoleName(IXMLDOMNode* role, std::wstring& name) {
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    HRESULT result = role->get_attributes(attributes.put());
    if (FAILED(result) || !attributes) return E_FAIL;
    ComPtr<IXMLDOMNode> item;
    const UniqueBstr attributeName = Bstr(kRoleNameAttribute);
    result = attributes->getNamedItem(attributeName.get(), item.put());
    if (FAILED(result) || !item) return E_FAIL;
    ComPtr<IXMLDOMAttribute> attribute;
    if (FAILED(item->QueryInterface(kAttributeInterface, attribute.put_void())) || !attribute) return E_FAIL;
    UniqueBstr text;
    if (FAILED(result = attribute->get_text(text.put()))) return result;
    name = TextOf(text);
    return S_OK;
}

// Whether `role` already has a "SID" child element whose text is `sid`.
HRESULT HoldsSid(IXMLDOMNode* role, const std::wstring& sid, bool& holds) {
    holds = false;
    ComPtr<IXMLDOMNode> child;
    HRESULT result = role->get_firstChild(child.put());
    while (SUCCEEDED(result) && child) {
        DOMNodeType type = NODE_INVALID;
        UniqueBstr tag, text;
        if (FAILED(result = child->get_nodeType(&type))) return result;
        if (type == NODE_ELEMENT) {
            if (FAILED(result = child->get_nodeName(tag.put()))) return result;
            if (TextOf(tag) == kSidTag) {
                if (FAILED(result = child->get_text(text.put()))) return result;
                if (TextOf(text) == sid) {
                    holds = true;
                    return S_OK;
                }
            }
        }
        ComPtr<IXMLDOMNode> next;
        result = child->get_nextSibling(next.put());
        child = std::move(next);
    }
    return FAILED(result) ? result : S_OK;
}

// Loads the file, hands each role with its name to `visit` (which returns an
// HRESULT and sets whether to go on), and saves the file.
template <typename VisitRole>
std::int32_t EditRoles(const std::wstring& path, VisitRole&& visit) {
    const ComApartment apartment;
    try {
        ComPtr<IXMLDOMDocument> document;
        if (FAILED(OpenDocument(document))) return kFileNotUpdated;
        if (FAILED(document->put_async(VARIANT_FALSE))) return kFileNotUpdated;
        const UniqueBstr file = Bstr(path);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        if (FAILED(document->load(BorrowedText(file), &loaded)) || loaded != VARIANT_TRUE) return kFileNotUpdated;

        ComPtr<IXMLDOMNodeList> roles;
        const UniqueBstr query = Bstr(kRolesQuery);
        if (FAILED(document->selectNodes(query.get(), roles.put())) || !roles) return kFileNotUpdated;
        long count = 0;
        if (FAILED(roles->get_length(&count))) return kFileNotUpdated;
        if (count < 1) return kUnexpected;

        for (;;) {
            ComPtr<IXMLDOMNode> role;
            if (FAILED(roles->nextNode(role.put()))) return kFileNotUpdated;
            if (!role) break;
            std::wstring name;
            if (FAILED(RoleName(role.get(), name))) return kFileNotUpdated;
            Visit next = Visit::Next;
            if (FAILED(visit(role.get(), name, next))) return kFileNotUpdated;
            if (next == Visit::Stop) break;
        }
        if (FAILED(document->save(BorrowedText(file)))) return kFileNotUpdated;
        return 0;
    } catch (const std::bad_alloc&) {
        return kFileNotUpdated;
    }
}

} // namespace

HRESULT AppendTextElement(IXMLDOMNode* parent, const std::wstring& tag, const std::wstring& text) {
    ComPtr<IXMLDOMDocument> owner;
    HRESULT result = parent->get_ownerDocument(owner.put());
    if (FAILED(result)) return result;
    if (!owner) return E_FAIL;
    ComPtr<IXMLDOMElement> element;
    if (FAILED(owner->createElement(Bstr(tag).get(), element.put())) || !element) return E_INVALIDARG;
    ComPtr<IXMLDOMNode> appended;
    if (FAILED(result = parent->appendChild(element.get(), appended.put()))) return result;

    // A new element has no children; a text child it had would take the text.
    ComPtr<IXMLDOMNode> child;
    if (FAILED(result = element->get_firstChild(child.put()))) return result;
    while (child) {
        DOMNodeType type = NODE_INVALID;
        if (FAILED(result = child->get_nodeType(&type))) return result;
        if (type == NODE_TEXT) return child->put_text(Bstr(text).get());
        ComPtr<IXMLDOMNode> next;
        if (FAILED(result = child->get_nextSibling(next.put()))) return result;
        child = std::move(next);
    }
    ComPtr<IXMLDOMText> textNode;
    if (FAILED(result = owner->createTextNode(Bstr(text).get(), textNode.put()))) return result;
    if (!textNode) return E_FAIL;
    ComPtr<IXMLDOMNode> appendedText;
    return element->appendChild(textNode.get(), appendedText.put());
}

std::int32_t AddRoleSids(const std::wstring& path, const RoleMap& roles, SidAppend mode) {
    return EditRoles(path, [&](IXMLDOMNode* role, const std::wstring& name, Visit&) -> HRESULT {
        const auto found = roles.find(name);
        if (found == roles.end()) return S_OK;
        if (mode == SidAppend::UnlessPresent) {
            bool holds = false;
            if (const HRESULT result = HoldsSid(role, found->second, holds); FAILED(result)) return result;
            if (holds) return S_OK;
        }
        return AppendTextElement(role, kSidTag, found->second);
    });
}

std::int32_t AddRoleSid(const std::wstring& path, const std::wstring& role, const std::wstring& sid) {
    return EditRoles(path, [&](IXMLDOMNode* node, const std::wstring& name, Visit& next) -> HRESULT {
        if (name != role) return S_OK;
        next = Visit::Stop;
        return AppendTextElement(node, kSidTag, sid);
    });
}

std::int32_t RecordGroupSids(AccountDatabase& accounts, const std::wstring& path, const std::wstring& userGroup,
                             const std::wstring& powerUserGroup, const std::wstring& administratorGroup,
                             SidAppend mode) {
    RoleMap roles;
    for (const std::wstring* group : {&userGroup, &powerUserGroup, &administratorGroup}) {
        const security::Sid sid = LookUpAccount(accounts, *group);
        if (sid.IsEmpty()) return kUnexpected;
        roles[*group] = sid.StringForm();
    }
    return AddRoleSids(path, roles, mode) >= 0 ? 0 : kFileNotUpdated;
}

} // namespace ih::accounts

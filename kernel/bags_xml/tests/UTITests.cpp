#include "bags_xml/VUTI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

VRefPtr<VUTI> NewUTI(const char* inIdentifier, bool inTemporary = false)
{
	VRefPtr<VUTI> uti = VRefPtr<VUTI>::Adopt(new VUTI(VString(inIdentifier)));
	uti->SetTemporary(inTemporary);
	return uti;
}

// Links a child to a parent both ways, as the manager does.
void Link(VUTI* inChild, VUTI* inParent)
{
	inChild->AddParentUTI(inParent);
	inParent->AddChildUTI(inChild);
}

std::string Identifier(VUTI* inRetained)
{
	VRefPtr<VUTI> uti = VRefPtr<VUTI>::Adopt(inRetained);
	return uti != nullptr ? to_string(uti->GetIdentifier()) : "<none>";
}

// Detaches the types at the end of a test: linked types retain each other.
struct Detacher {
	std::vector<VUTI*> fUTIs;
	~Detacher()
	{
		for (VUTI* uti : fUTIs)
			uti->_Detach();
	}
};

TEST(UTI, TemporaryParentsAreNotConformedThrough)
{
	VRefPtr<VUTI> child = NewUTI("com.example.child");
	VRefPtr<VUTI> real = NewUTI("com.example.real");
	VRefPtr<VUTI> pending = NewUTI("com.example.pending", true);
	real->AddExtension(VString("rea"));
	pending->AddExtension(VString("pen"));
	Detacher detach{{child.Get(), real.Get()}};
	Link(child.Get(), real.Get());
	child->AddParentUTI(pending.Get());

	EXPECT_TRUE(child->ConformsToIdentifier(VString("com.example.child")));
	EXPECT_TRUE(child->ConformsToIdentifier(VString("COM.example.real")));
	EXPECT_FALSE(child->ConformsToIdentifier(VString("com.example.pending")));
	EXPECT_FALSE(child->ConformsToIdentifier(VString()));
	EXPECT_TRUE(child->ConformsToExtension(VString("rea")));
	EXPECT_FALSE(child->ConformsToExtension(VString("pen")));
	EXPECT_EQ(Identifier(child->GetHighestParentThatConformsToExtension(VString("REA"))), "com.example.real");
	EXPECT_EQ(Identifier(child->GetHighestParentThatConformsToExtension(VString("pen"))), "<none>");
	EXPECT_TRUE(real->IsChild(child.Get()));
	EXPECT_TRUE(child->IsParent(real.Get()));
	EXPECT_FALSE(child->IsParent(pending.Get()));
	// The temporary one still counts as a possible parent.
	EXPECT_TRUE(child->CouldBeAParent(pending.Get()));
	EXPECT_TRUE(real->CouldBeAChild(child.Get()));
}

TEST(UTI, LinksAreKeptOnceAndOnlyTemporaryOnesRemoved)
{
	VRefPtr<VUTI> child = NewUTI("com.example.child");
	VRefPtr<VUTI> parent = NewUTI("com.example.parent");
	VRefPtr<VUTI> nameless = NewUTI("");
	Detacher detach{{child.Get(), parent.Get()}};
	uint32 before = parent->GetRefCount();
	child->AddParentUTI(parent.Get());
	child->AddParentUTI(parent.Get());
	child->AddParentUTI(nameless.Get());
	child->AddParentUTI(nullptr);
	EXPECT_EQ(child->GetParentUTIsMap().size(), 1u);
	EXPECT_EQ(parent->GetRefCount(), before + 1);

	// A resolved parent of that identifier stays.
	child->RemoveTemporaryUTI(VString("com.example.parent"));
	EXPECT_EQ(child->GetParentUTIsMap().size(), 1u);

	VRefPtr<VUTI> other = NewUTI("com.example.other");
	VRefPtr<VUTI> pending = NewUTI("com.example.other", true);
	child->AddParentUTI(pending.Get());
	child->RemoveTemporaryUTI(VString("com.example.other"));
	EXPECT_EQ(child->GetParentUTIsMap().size(), 1u);
	EXPECT_EQ(pending->GetRefCount(), 1u);

	child->_Detach();
	EXPECT_EQ(parent->GetRefCount(), before);
}

TEST(UTI, TagsAreKeptOnce)
{
	VRefPtr<VUTI> uti = NewUTI("com.example.tags");
	for (const char* extension : {"txt", "TXT", "md", "txt"})
		uti->AddExtension(VString(extension));
	uti->AddOSType(VString("TEXT"));
	uti->AddOSType(VString("TEXT"));
	uti->AddMIMEType(VString("text/plain"));
	uti->AddMIMEType(VString("Text/Plain"));
	EXPECT_EQ(uti->GetExtensionsVector().size(), 2u);
	EXPECT_EQ(uti->GetOSTypesVector().size(), 1u);
	EXPECT_EQ(uti->GetMIMETypesVector().size(), 1u);
	EXPECT_TRUE(uti->ConformsToOSType(VString("TEXT")));
	EXPECT_TRUE(uti->ConformsToMIMEType(VString("text/plain")));
	EXPECT_FALSE(uti->IsPublic());
	EXPECT_TRUE(NewUTI("public.text")->IsPublic());
}

TEST(UTI, SearchesGoDepthFirstInIdentifierOrder)
{
	VRefPtr<VUTI> leaf = NewUTI("com.example.leaf");
	VRefPtr<VUTI> first = NewUTI("com.example.a");
	VRefPtr<VUTI> second = NewUTI("com.example.b");
	VRefPtr<VUTI> top = NewUTI("com.example.top");
	Detacher detach{{leaf.Get(), first.Get(), second.Get(), top.Get()}};
	Link(leaf.Get(), second.Get());
	Link(leaf.Get(), first.Get());
	Link(first.Get(), top.Get());
	top->AddExtension(VString("shared"));
	second->AddExtension(VString("shared"));
	top->AddExtension(VString("top"));
	leaf->AddExtension(VString("leaf"));

	EXPECT_EQ(Identifier(leaf->GetHighestParentThatConformsToExtension(VString("shared"))), "com.example.top");
	std::vector<VString> extensions;
	leaf->GetAllExtensionsVector(extensions);
	std::vector<std::string> texts;
	for (const VString& extension : extensions)
		texts.push_back(to_string(extension));
	EXPECT_EQ(texts, (std::vector<std::string>{"leaf", "shared", "top"}));
	EXPECT_TRUE(leaf->IsParent(top.Get()));
	EXPECT_TRUE(top->IsChild(leaf.Get()));
	// The leaf is a child of a parent of b's.
	EXPECT_FALSE(second->IsChildOrChildOfAParent(top.Get()));
	EXPECT_TRUE(first->IsChildOrChildOfAParent(leaf.Get()));
}

// The setters can make a type its own ancestor; every walk still ends.
TEST(UTI, WalksEndInCycles)
{
	VRefPtr<VUTI> a = NewUTI("com.example.a");
	VRefPtr<VUTI> b = NewUTI("com.example.b");
	VRefPtr<VUTI> outside = NewUTI("com.example.outside");
	Detacher detach{{a.Get(), b.Get()}};
	Link(a.Get(), b.Get());
	Link(b.Get(), a.Get());
	a->AddExtension(VString("exa"));

	EXPECT_TRUE(b->ConformsToIdentifier(VString("com.example.a")));
	EXPECT_FALSE(a->ConformsToIdentifier(VString("com.example.outside")));
	EXPECT_FALSE(b->ConformsToExtension(VString("none")));
	EXPECT_EQ(Identifier(b->GetHighestParentThatConformsToExtension(VString("exa"))), "com.example.a");
	EXPECT_FALSE(a->IsParent(outside.Get()));
	EXPECT_FALSE(a->IsChild(outside.Get()));
	EXPECT_FALSE(a->IsChildOrChildOfAParent(outside.Get()));
	EXPECT_FALSE(a->CouldBeAParent(outside.Get()));
	EXPECT_FALSE(a->CouldBeAChild(outside.Get()));
	std::vector<VString> extensions;
	b->GetAllExtensionsVector(extensions);
	EXPECT_EQ(extensions.size(), 1u);
}

} // namespace
} // namespace qirn

#include "bags_xml/IBaggable.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VBagLoader.h"
#include "bags_xml/VValueBag.h"
#include "core/VLong.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VUUID.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

VRefPtr<VValueBag> NewBag()
{
	return VRefPtr<VValueBag>::Adopt(new VValueBag);
}

VRefPtr<VValueBag> Named(const char* inName)
{
	VRefPtr<VValueBag> bag = NewBag();
	bag->SetString("name", VString(inName));
	return bag;
}

std::string NameOf(const VValueBag* inBag)
{
	VString name;
	if (inBag == nullptr || !inBag->GetString("name", name))
		return "(none)";
	return to_string(name);
}

std::string ElementNames(const VValueBag& inBag)
{
	std::string names;
	VString name;
	for (VIndex i = 1; i <= inBag.GetElementNamesCount(); ++i) {
		inBag.GetNthElementName(i, &name);
		names += to_string(name);
	}
	return names;
}

TEST(ValueBag, AttributesConvertToTheKindAsked)
{
	VRefPtr<VValueBag> bag = NewBag();
	bag->SetLong("n", 12);
	bag->SetBool("flag", true);
	bag->SetString("text", VString("34"));
	sLONG8 n = 0;
	VString text;
	bool flag = false;
	sLONG fromText = 0;
	EXPECT_TRUE(bag->GetLong8("n", n));
	EXPECT_TRUE(bag->GetString("n", text));
	EXPECT_TRUE(bag->GetBool("flag", flag));
	EXPECT_TRUE(bag->GetLong("text", fromText));
	EXPECT_EQ(n, 12);
	EXPECT_EQ(to_string(text), "12");
	EXPECT_TRUE(flag);
	EXPECT_EQ(fromText, 34);
	bag->SetString("n", VString("replaced"));
	EXPECT_EQ(bag->GetAttributesCount(), 3);
	sLONG missing = 5;
	EXPECT_FALSE(bag->GetLong("absent", missing));
	EXPECT_EQ(missing, 5);
	bag->RemoveAttribute("n");
	EXPECT_FALSE(bag->AttributeExists("n"));
}

TEST(ValueBag, CharacterDataIsAnAttributeThatGrows)
{
	VRefPtr<VValueBag> bag = NewBag();
	bag->AppendToCData(VString("ab"));
	bag->AppendToCData(VString("cd"));
	VString text;
	EXPECT_TRUE(bag->GetCData(text));
	EXPECT_EQ(to_string(text), "abcd");
	// Another kind is turned into its text first.
	bag->SetLong(VValueBag::CDataAttributeName(), 5);
	bag->AppendToCData(VString("x"));
	EXPECT_TRUE(bag->GetCData(text));
	EXPECT_EQ(to_string(text), "5x");
	EXPECT_EQ(bag->GetAttributesCount(), 1);
}

TEST(ValueBag, MarkersCountOnlyWhenAsked)
{
	VRefPtr<VValueBag> bag = NewBag();
	EXPECT_TRUE(bag->IsEmpty(false));
	bag->SetBool("____objectunic", true);
	EXPECT_TRUE(bag->IsEmpty(true));
	EXPECT_FALSE(bag->IsEmpty(false));
	VRefPtr<VValueBag> parent = NewBag();
	parent->AddElement("child", NewBag().Get());
	EXPECT_FALSE(parent->IsEmpty(true));
}

TEST(ValueBag, ReplaceElementAnswersWhetherItChangedAnything)
{
	VRefPtr<VValueBag> bag = NewBag();
	VRefPtr<VValueBag> child = Named("c");
	EXPECT_TRUE(bag->ReplaceElement("k", child.Get()));
	EXPECT_FALSE(bag->ReplaceElement("k", child.Get()));
	bag->AddElement("k", Named("d").Get());
	EXPECT_TRUE(bag->ReplaceElement("k", Named("e").Get()));
	ASSERT_EQ(bag->GetElements("k")->GetCount(), 1);
	EXPECT_EQ(NameOf(bag->GetElements("k")->GetNth(1)), "e");
	EXPECT_FALSE(bag->ReplaceElement("k", nullptr));
	EXPECT_EQ(bag->GetElements("k"), nullptr);
}

TEST(ValueBag, ReplacingByABagAlreadyInTheArrayKeepsItAlive)
{
	VRefPtr<VValueBag> bag = NewBag();
	VValueBag* second = new VValueBag;
	second->SetString("name", VString("second"));
	bag->AddElement("k", Named("first").Get());
	bag->AddElement("k", second);
	// The array now holds the only reference.
	second->Release();
	EXPECT_TRUE(bag->ReplaceElement("k", second));
	VBagArray* array = bag->GetElements("k");
	ASSERT_EQ(array->GetCount(), 1);
	EXPECT_EQ(NameOf(array->GetNth(1)), "second");
}

TEST(ValueBag, PathsFollowTheFirstBagOfEachName)
{
	VRefPtr<VValueBag> root = NewBag();
	VRefPtr<VValueBag> a1 = Named("a1");
	a1->AddElement("b", Named("b1").Get());
	a1->AddElement("b", Named("b2").Get());
	root->AddElement("a", a1.Get());
	root->AddElement("a", Named("a2").Get());
	EXPECT_EQ(NameOf(root->GetUniqueElementByPath(VString("a/b"))), "b1");
	EXPECT_EQ(root->GetUniqueElementByPath(VString("")), root.Get());
	EXPECT_EQ(root->GetUniqueElementByPath(VString("a/c")), nullptr);
	EXPECT_EQ(root->GetUniqueElementByPath(VString("/a")), nullptr);

	struct Row {
		const char* fPath;
		std::vector<std::string> fKeys;
	};
	const Row rows[] = {
		{"a/b", {"a", "b"}}, {"/a", {"", "a"}}, {"a//b", {"a", "", "b"}}, {"a/", {"a"}}, {"", {}},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fPath);
		std::vector<StPackedDictionaryKey> fromText;
		std::vector<StPackedDictionaryKey> fromUTF8;
		VValueBag::GetKeysFromPath(VString(row.fPath), fromText);
		VValueBag::GetKeysFromUTF8PathNoCopy(row.fPath, fromUTF8);
		for (const auto* keys : {&fromText, &fromUTF8}) {
			ASSERT_EQ(keys->size(), row.fKeys.size());
			for (size_t i = 0; i < keys->size(); ++i)
				EXPECT_EQ(std::string((*keys)[i].GetKey(), (*keys)[i].GetKeyLength()), row.fKeys[i]);
		}
	}
	// A step whose name cannot be a key is kept, and finds nothing.
	std::string tooLong = "a/" + std::string(300, 'x') + "/b";
	std::vector<StPackedDictionaryKey> keys;
	VValueBag::GetKeysFromPath(VString(tooLong.c_str()), keys);
	EXPECT_EQ(keys.size(), 3u);
	EXPECT_EQ(root->GetUniqueElementByPath(keys), nullptr);
}

TEST(ValueBag, ReplaceElementByPathCreatesTheWayOrRemovesTheEnd)
{
	VRefPtr<VValueBag> root = NewBag();
	std::vector<StPackedDictionaryKey> keys;
	VValueBag::GetKeysFromPath(VString("x/y/z"), keys);
	EXPECT_TRUE(root->ReplaceElementByPath(keys, Named("leaf").Get()));
	EXPECT_EQ(NameOf(root->GetUniqueElementByPath(VString("x/y/z"))), "leaf");
	EXPECT_TRUE(root->ReplaceElementByPath(keys, nullptr));
	EXPECT_EQ(root->GetUniqueElementByPath(VString("x/y/z")), nullptr);
	EXPECT_NE(root->GetUniqueElementByPath(VString("x/y")), nullptr);
	std::vector<StPackedDictionaryKey> nowhere;
	VValueBag::GetKeysFromPath(VString("p/q"), nowhere);
	EXPECT_TRUE(root->ReplaceElementByPath(nowhere, nullptr));
	EXPECT_EQ(root->GetElements("p"), nullptr);
	EXPECT_FALSE(root->ReplaceElementByPath({}, Named("n").Get()));
}

TEST(ValueBag, CopiesAreDeep)
{
	VRefPtr<VValueBag> bag = Named("root");
	bag->AddElement("child", Named("c").Get());
	VRefPtr<VValueBag> copy = VRefPtr<VValueBag>::Adopt(bag->Clone());
	EXPECT_EQ(copy->GetRefCount(), 1u);
	bag->GetElements("child")->GetNth(1)->SetString("name", VString("changed"));
	bag->SetString("name", VString("changed"));
	EXPECT_EQ(NameOf(copy.Get()), "root");
	EXPECT_EQ(NameOf(copy->GetElements("child")->GetNth(1)), "c");
	EXPECT_NE(copy->GetElements("child"), bag->GetElements("child"));
}

TEST(ValueBag, UnionCloneAppendsAndOverrideMergesSingleChildren)
{
	VRefPtr<VValueBag> mine = NewBag();
	VRefPtr<VValueBag> myChild = Named("mine");
	myChild->SetLong("kept", 1);
	mine->AddElement("x", myChild.Get());
	mine->SetLong("a", 1);
	VRefPtr<VValueBag> theirs = NewBag();
	VRefPtr<VValueBag> theirChild = Named("theirs");
	theirs->AddElement("x", theirChild.Get());
	theirs->SetLong("a", 2);
	theirs->SetLong("b", 3);

	VRefPtr<VValueBag> unioned = VRefPtr<VValueBag>::Adopt(mine->Clone());
	EXPECT_TRUE(unioned->UnionClone(theirs.Get()));
	EXPECT_EQ(unioned->GetElements("x")->GetCount(), 2);
	sLONG a = 0;
	EXPECT_TRUE(unioned->GetLong("a", a));
	EXPECT_EQ(a, 2);
	EXPECT_TRUE(unioned->UnionClone(nullptr));

	EXPECT_TRUE(mine->Override(theirs.Get()));
	VBagArray* merged = mine->GetElements("x");
	ASSERT_EQ(merged->GetCount(), 1);
	EXPECT_EQ(NameOf(merged->GetNth(1)), "theirs");
	EXPECT_TRUE(merged->GetNth(1)->AttributeExists("kept"));
	// Two children on one side: theirs are appended.
	theirs->AddElement("x", Named("second").Get());
	EXPECT_TRUE(mine->Override(theirs.Get()));
	EXPECT_EQ(mine->GetElements("x")->GetCount(), 3);
}

TEST(ValueBag, SortElementsMovesOnlyListedNames)
{
	const StPackedDictionaryKey a("a"), b("b"), c("c"), root("root");
	const StBagElementsOrdering orderings[] = {
		{&root, {&a, &b, &c}},
		{nullptr, {}},
	};
	struct Row {
		std::vector<const char*> fNames;
		const char* fSorted;
	};
	const Row rows[] = {
		{{"c", "a", "b"}, "abc"},
		{{"x", "a"}, "xa"},
		{{"b", "a", "x"}, "xab"},
		{{"a", "b"}, "ab"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fSorted);
		VRefPtr<VValueBag> bag = NewBag();
		for (const char* name : row.fNames)
			bag->AddElement(name, Named(name).Get());
		bag->SortElements(root, orderings);
		EXPECT_EQ(ElementNames(*bag), row.fSorted);
		for (const char* name : row.fNames)
			EXPECT_EQ(NameOf(bag->GetElements(name)->GetNth(1)), name);
	}
	// Children are sorted by the entry named like their element.
	const StBagElementsOrdering nested[] = {
		{&root, {&c}},
		{&c, {&a, &b}},
		{nullptr, {}},
	};
	VRefPtr<VValueBag> bag = NewBag();
	VRefPtr<VValueBag> child = NewBag();
	child->AddElement("b", NewBag().Get());
	child->AddElement("a", NewBag().Get());
	bag->AddElement("c", child.Get());
	bag->SortElements(root, nested);
	EXPECT_EQ(ElementNames(*child), "ab");
}

TEST(ValueBag, RetainUniqueElementWithAttributeWantsExactlyOneMatch)
{
	VRefPtr<VValueBag> bag = NewBag();
	for (sLONG id : {1, 2, 2}) {
		VRefPtr<VValueBag> child = NewBag();
		child->SetLong("id", id);
		bag->AddElement("item", child.Get());
	}
	VRefPtr<VValueBag> one = VRefPtr<VValueBag>::Adopt(bag->RetainUniqueElementWithAttribute("item", "id", VLong(1)));
	ASSERT_NE(one, nullptr);
	EXPECT_EQ(one.Get(), bag->GetElements("item")->GetNth(1));
	EXPECT_EQ(bag->RetainUniqueElementWithAttribute("item", "id", VLong(2)), nullptr);
	EXPECT_EQ(bag->RetainUniqueElementWithAttribute("item", "id", VLong(3)), nullptr);
	EXPECT_EQ(bag->RetainUniqueElementWithAttribute("none", "id", VLong(1)), nullptr);
}

TEST(ValueBag, UniqueElementAnyKindNeedsOneNameAndOneBag)
{
	VRefPtr<VValueBag> bag = NewBag();
	VString name("stale");
	EXPECT_EQ(bag->GetUniqueElementAnyKind(name), nullptr);
	EXPECT_TRUE(name.IsEmpty());
	bag->AddElement("only", Named("o").Get());
	EXPECT_EQ(NameOf(bag->GetUniqueElementAnyKind(name)), "o");
	EXPECT_EQ(to_string(name), "only");
	bag->AddElement("only", Named("p").Get());
	EXPECT_EQ(bag->GetUniqueElementAnyKind(name), nullptr);
}

TEST(BagArray, PositionsCountFromOne)
{
	VRefPtr<VBagArray> array = VRefPtr<VBagArray>::Adopt(new VBagArray);
	VRefPtr<VValueBag> a = Named("a"), b = Named("b"), c = Named("c");
	EXPECT_FALSE(array->AddTail(nullptr));
	EXPECT_TRUE(array->AddTail(b.Get()));
	EXPECT_TRUE(array->AddNth(a.Get(), 0));
	EXPECT_TRUE(array->AddNth(c.Get(), 99));
	EXPECT_EQ(array->Find(c.Get()), 3);
	EXPECT_EQ(b->GetRefCount(), 2u);
	array->SetNth(c.Get(), 2);
	EXPECT_EQ(b->GetRefCount(), 1u);
	array->Delete(c.Get());
	EXPECT_EQ(c->GetRefCount(), 3u);	// the reference passed to the caller
	c->Release();
	array->DeleteNth(1);
	EXPECT_EQ(a->GetRefCount(), 1u);
	VRefPtr<VValueBag> fresh = VRefPtr<VValueBag>::Adopt(array->RetainNth(0));
	EXPECT_TRUE(fresh->IsEmpty());
	EXPECT_EQ(array->Find(fresh.Get()), 0);
}

class Saved : public IBaggable {
public:
	VError SaveToBag(VValueBag& ioBag, VString& outKind) const override
	{
		ioBag.SetLong("v", 9);
		outKind = "saved";
		return fResult;
	}
	VError fResult = VE_OK;
};

TEST(ValueBag, AddElementOfABaggableStoresItUnderItsKind)
{
	VRefPtr<VValueBag> bag = NewBag();
	Saved object;
	EXPECT_EQ(bag->AddElement(static_cast<const IBaggable*>(nullptr)), VE_OK);
	EXPECT_EQ(bag->AddElement(&object), VE_OK);
	object.fResult = VE_UNKNOWN_ERROR;
	EXPECT_EQ(bag->AddElement(&object), VE_UNKNOWN_ERROR);
	ASSERT_NE(bag->GetElements("saved"), nullptr);
	EXPECT_EQ(bag->GetElements("saved")->GetCount(), 1);
}

TEST(BagLoader, RegenerationMapsEachOldIdentifierOnce)
{
	VUUID old(true);
	VRefPtr<VValueBag> first = NewBag();
	VRefPtr<VValueBag> second = NewBag();
	first->SetVUUID("uuid", old);
	second->SetVUUID("uuid", old);
	VBagLoader loader(true, false);
	VUUID one, two;
	EXPECT_TRUE(loader.GetUUID(*first, one));
	EXPECT_TRUE(loader.GetUUID(*second, two));
	EXPECT_EQ(one, two);
	EXPECT_NE(one, old);
	VUUID resolved = old;
	EXPECT_TRUE(loader.ResolveUUID(resolved));
	EXPECT_EQ(resolved, one);
	VUUID unknown(true);
	EXPECT_FALSE(loader.ResolveUUID(unknown));

	VBagLoader plain(false, false);
	VUUID kept;
	EXPECT_TRUE(plain.GetUUID(*first, kept));
	EXPECT_EQ(kept, old);
	VUUID made;
	EXPECT_FALSE(plain.GetUUID(*NewBag(), made));
	EXPECT_FALSE(made.IsNull());
}

TEST(ValueBag, DumpsAttributesAndElements)
{
	VRefPtr<VValueBag> bag = Named("top");
	bag->AddElement("kid", Named("k").Get());
	VString dump;
	bag->DebugDump(dump);
	EXPECT_EQ(to_string(dump), "name = top\n=======\n1 kid :\n--\nname = k\n");
	char small[8];
	int32 size = sizeof(small);
	EXPECT_EQ(bag->DebugDump(small, size), VTC_UTF_16);
	EXPECT_EQ(size, 8);
}

TEST(ValueBag, IsAValueOfKind200)
{
	VRefPtr<VValueBag> bag = NewBag();
	EXPECT_EQ(bag->GetValueInfo()->GetKind(), 200);
	std::unique_ptr<VValue> made(VValue::NewValueFromValueKind(200));
	ASSERT_NE(dynamic_cast<VValueBag*>(made.get()), nullptr);
}

} // namespace
} // namespace qirn

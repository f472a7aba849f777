// The component registry: creators, instances, a component library (a module
// the build makes) and the requirements check with its cache.
#include "core/VMemory.h"
#include "files/VFilePath.h"
#include "process/VComponentManager.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qirn {
namespace {

const std::string kComponentLibrary = QIRN_PROBE_DIR "/libqirn_module_components.so";
const std::string kPlainLibrary = QIRN_PROBE_DIR "/libqirn_module_sharedlib.so";

VFilePath FilePath(const std::string& inPosixPath)
{
	return VFilePath(VString(inPosixPath.c_str()), FPS_POSIX);
}

// What the test creators make: a type's version and requirements.
struct Recipe {
	uint32 fVersion = 1;
	std::vector<std::pair<OsType, uint32>> fRequirements;
};
std::map<OsType, Recipe> sRecipes;
// Blocks handed out word for word instead of a recipe's.
std::map<OsType, std::vector<uint32>> sBlocks;
int sLive = 0;

class TestComponent final : public CComponent {
public:
	TestComponent(OsType inType, OsType inFamily) : fType(inType), fFamily(inFamily) { ++sLive; }
	sLONG Retain(const char*) override { return ++fCount; }
	sLONG Release(const char*) override
	{
		const sLONG count = --fCount;
		if (count == 0)
			delete this;
		return count;
	}
	void* GetRequirements() override
	{
		if (const auto given = sBlocks.find(fType); given != sBlocks.end()) {
			void* block = VMemory::NewPtr(4 * given->second.size(), 'test');
			std::memcpy(block, given->second.data(), 4 * given->second.size());
			return block;
		}
		const Recipe& recipe = sRecipes[fType];
		std::vector<uint32> words(11, 0);
		words[0] = 0x10000;
		words[5] = recipe.fVersion;
		words[10] = static_cast<uint32>(recipe.fRequirements.size());
		for (const auto& [type, version] : recipe.fRequirements) {
			words.push_back(type);
			words.push_back(version);
		}
		while (words.size() < 13)
			words.push_back(0);
		words[1] = static_cast<uint32>(4 * words.size());
		void* block = VMemory::NewPtr(4 * words.size(), 'test');
		std::memcpy(block, words.data(), 4 * words.size());
		return block;
	}
	OsType GetComponentType() override { return fType; }
	OsType GetComponentFamily() override { return fFamily; }

private:
	~TestComponent() { --sLive; }
	sLONG fCount = 1;
	OsType fType;
	OsType fFamily;
};

CComponent* MakeTest(OsType inType, OsType inFamily)
{
	return new TestComponent(inType, inFamily);
}
CComponent* MakeOther(OsType inType, OsType inFamily)
{
	return new TestComponent(inType, inFamily);
}
CComponent* MakeNothing(OsType, OsType)
{
	return nullptr;
}

class ComponentManager : public ::testing::Test {
protected:
	void SetUp() override
	{
		sRecipes.clear();
		sBlocks.clear();
		ASSERT_TRUE(VComponentManager::Init());
	}
	void TearDown() override
	{
		VComponentManager::DeInit();
		EXPECT_EQ(sLive, 0);
	}

	// Copies the component library to a folder of the test's: each test
	// loads a fresh one.
	std::string CopyComponentLibrary()
	{
		const std::string path = fTemp / "libcomponents.so";
		std::filesystem::copy_file(kComponentLibrary, path);
		return path;
	}
	// What the loaded library's "Main" was told, and its live components.
	static int LibraryCount(const std::string& inPath, OsType inWhat)
	{
		void* handle = ::dlopen(inPath.c_str(), RTLD_LAZY | RTLD_NOLOAD);
		if (handle == nullptr)
			return -1;
		const auto count = reinterpret_cast<int (*)(OsType)>(::dlsym(handle, "ComponentsCount"));
		const int value = count != nullptr ? count(inWhat) : -1;
		::dlclose(handle);
		return value;
	}

	testing::TempFolder fTemp;
};

TEST(ComponentManagerUninitialised, EveryCallAnswers1000)
{
	VComponentManager::DeInit();
	testing::RaisedErrors errors;
	const VFilePath path = FilePath("/nowhere.so");
	const VError answers[] = {
		VComponentManager::RegisterComponentLibrary(path),
		VComponentManager::UnRegisterComponentLibrary(path),
		VComponentManager::RegisterComponentCreator('Test', MakeTest, false),
		VComponentManager::UnRegisterComponentCreator('Test', MakeTest),
		VComponentManager::UnRegisterComponentType('Test'),
		VComponentManager::RegisterComponentInstance(nullptr),
		VComponentManager::UnRegisterComponentInstance(nullptr),
	};
	for (VError answer : answers)
		EXPECT_EQ(answer, VE_COMP_UNITIALISED);
	EXPECT_EQ(errors.Codes(), std::vector<VError>(7, VE_COMP_UNITIALISED));
	EXPECT_EQ(VComponentManager::RetainComponent('Test', 'Fam1'), nullptr);
	EXPECT_FALSE(VComponentManager::IsComponentAvailable('Test'));
}

TEST_F(ComponentManager, CreatorsRegisterAndUnregister)
{
	testing::RaisedErrors errors;
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', nullptr, false), VE_COMP_NULL_ARGUMENT);
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeTest, false), VE_OK);
	EXPECT_TRUE(VComponentManager::IsComponentAvailable('Test'));
	EXPECT_FALSE(VComponentManager::IsComponentAvailable('Othr'));
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeTest, false), VE_COMP_ALLREADY_REGISTRED);
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeTest, true), VE_OK);
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeOther, false), VE_OK);
	EXPECT_EQ(VComponentManager::UnRegisterComponentCreator('Test', MakeTest), VE_COMP_PROC_PTR_NULL);
	EXPECT_EQ(VComponentManager::UnRegisterComponentCreator('Nope', MakeOther), VE_COMP_PROC_PTR_NULL);
	EXPECT_EQ(VComponentManager::UnRegisterComponentCreator('Test', MakeOther), VE_OK);
	EXPECT_FALSE(VComponentManager::IsComponentAvailable('Test'));
	EXPECT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeTest, false), VE_OK);
	EXPECT_EQ(VComponentManager::UnRegisterComponentType('Test'), VE_OK);
	EXPECT_EQ(VComponentManager::UnRegisterComponentType('Test'), VE_COMP_NOT_REGISTRED);
	EXPECT_EQ(errors.Codes(), (std::vector<VError>{VE_COMP_NULL_ARGUMENT, VE_COMP_ALLREADY_REGISTRED,
												   VE_COMP_PROC_PTR_NULL, VE_COMP_PROC_PTR_NULL,
												   VE_COMP_NOT_REGISTRED}));
}

TEST_F(ComponentManager, InstancesAreFoundByTypeAndFamily)
{
	testing::RaisedErrors errors;
	CComponent* instance = MakeTest('Test', 'Fam1');
	EXPECT_EQ(VComponentManager::RegisterComponentInstance(nullptr), VE_COMP_NULL_ARGUMENT);
	EXPECT_EQ(VComponentManager::RegisterComponentInstance(instance), VE_OK);
	EXPECT_EQ(VComponentManager::RegisterComponentInstance(instance), VE_COMP_ALLREADY_REGISTRED);
	struct Case {
		OsType fType;
		OsType fFamily;
		bool fFound;
	};
	const Case cases[] = {
		{'Test', 'Fam1', true}, {'Test', 'BBBB', true}, {'Test', 'Fam2', false}, {'Othr', 'Fam1', false}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fFamily);
		CComponent* found = VComponentManager::RetainComponent(c.fType, c.fFamily);
		EXPECT_EQ(found == instance, c.fFound);
		if (found != nullptr)
			found->Release();
	}
	EXPECT_EQ(VComponentManager::UnRegisterComponentInstance(instance), VE_OK);
	EXPECT_EQ(VComponentManager::UnRegisterComponentInstance(instance), VE_COMP_NOT_REGISTRED);
	instance->Release();
	EXPECT_EQ(sLive, 0);
}

TEST_F(ComponentManager, AComponentMadeOnDemandIsRegisteredOnce)
{
	ASSERT_EQ(VComponentManager::RegisterComponentCreator('Test', MakeTest, false), VE_OK);
	ASSERT_EQ(VComponentManager::RegisterComponentCreator('Null', MakeNothing, false), VE_OK);
	CComponent* first = VComponentManager::RetainComponent('Test', 'Fam1');
	ASSERT_NE(first, nullptr);
	CComponent* second = VComponentManager::RetainComponent('Test', 'Fam1');
	EXPECT_EQ(first, second);
	CComponent* unique = VComponentManager::RetainUniqueComponent('Test', 'Fam1', false);
	EXPECT_NE(unique, first);
	EXPECT_EQ(VComponentManager::RetainComponent('Null', 'Fam1'), nullptr);
	EXPECT_EQ(VComponentManager::RetainComponent('Nope', 'Fam1'), nullptr);
	first->Release();
	second->Release();
	unique->Release();
	EXPECT_EQ(sLive, 1); // the registry keeps the one it registered

	ASSERT_EQ(VComponentManager::RegisterComponentCreator('Tes2', MakeTest, false), VE_OK);
	VArrayOf<CComponent*> family;
	EXPECT_TRUE(VComponentManager::RetainComponentsOfFamily('Fam1', &family));
	EXPECT_EQ(family.GetCount(), 2);
	for (sLONG pos = 1; pos <= family.GetCount(); ++pos)
		family.GetNth(pos)->Release();
	EXPECT_FALSE(VComponentManager::RetainComponentsOfFamily('Fam1', nullptr));
}

TEST_F(ComponentManager, RequirementsAreCheckedAndCachedByType)
{
	sRecipes['Base'] = {3, {}};
	sRecipes['Good'] = {1, {{'Base', 2}}};
	sRecipes['Newr'] = {1, {{'Base', 4}}};
	sRecipes['Miss'] = {1, {{'Gone', 0xFFFFFFFF}}};
	sRecipes['Self'] = {1, {{'Self', 0xFFFFFFFF}, {'Base', 0xFFFFFFFF}}};
	sRecipes['Cyc1'] = {1, {{'Cyc2', 0xFFFFFFFF}}};
	sRecipes['Cyc2'] = {1, {{'Cyc1', 0xFFFFFFFF}}};
	sRecipes['Deep'] = {1, {{'Base', 0xFFFFFFFF}, {'Miss', 0xFFFFFFFF}}};
	for (const auto& [type, recipe] : sRecipes)
		ASSERT_EQ(VComponentManager::RegisterComponentCreator(type, MakeTest, false), VE_OK);
	struct Case {
		OsType fType;
		bool fAvailable;
	};
	const Case cases[] = {{'Base', true}, {'Good', true}, {'Newr', false}, {'Miss', false}, {'Self', true},
						  {'Cyc1', true}, {'Cyc2', true}, {'Deep', false}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fType);
		CComponent* component = MakeTest(c.fType, 'Fam1');
		EXPECT_EQ(VComponentManager::CheckComponentRequirements(component, false), c.fAvailable);
		// Cached: a changed recipe is not read again until reset.
		const Recipe saved = sRecipes[c.fType];
		sRecipes[c.fType] = {1, {{'Gone', 0xFFFFFFFF}}};
		EXPECT_EQ(VComponentManager::CheckComponentRequirements(component, false), c.fAvailable);
		sRecipes[c.fType] = saved;
		component->Release();
		CComponent* made = VComponentManager::RetainUniqueComponent(c.fType, 'Fam1', false);
		EXPECT_EQ(made != nullptr, c.fAvailable);
		if (made != nullptr)
			made->Release();
	}
	EXPECT_TRUE(VComponentManager::ResetComponentRequirements('Newr'));
	EXPECT_FALSE(VComponentManager::ResetComponentRequirements('Newr'));
	sRecipes['Newr'] = {1, {{'Base', 3}}};
	CComponent* newer = MakeTest('Newr', 'Fam1');
	EXPECT_TRUE(VComponentManager::CheckComponentRequirements(newer, false));
	newer->Release();
	EXPECT_FALSE(VComponentManager::CheckComponentRequirements(nullptr, false));
	EXPECT_EQ(sLive, 0);

	// Kept only when the requirements are met (then for good): those made
	// before an unmet one are let go of.
	VComponentManager::ResetComponentRequirements('Deep');
	CComponent* deep = MakeTest('Deep', 'Fam1');
	EXPECT_FALSE(VComponentManager::CheckComponentRequirements(deep, true));
	deep->Release();
	EXPECT_EQ(sLive, 0);
}

// A block is read only within what it says and what it is: a count of
// requirements that runs past its end refuses it, like an old version or a
// short size, and nothing past the block is read.
TEST_F(ComponentManager, MalformedRequirementsBlocksAreRefused)
{
	sRecipes['Base'] = {3, {}};
	ASSERT_EQ(VComponentManager::RegisterComponentCreator('Base', MakeTest, false), VE_OK);
	// 13 words (52 bytes): version, size, ..., count at word 10, one pair.
	const auto block = [](uint32 inVersion, uint32 inSize, uint32 inCount) {
		std::vector<uint32> words(13, 0);
		words[0] = inVersion;
		words[1] = inSize;
		words[10] = inCount;
		words[11] = 'Base';
		words[12] = 0xFFFFFFFF;
		return words;
	};
	struct Case {
		OsType fType;
		std::vector<uint32> fBlock;
		bool fAvailable;
	};
	const Case cases[] = {
		{'BkOK', block(0x10000, 52, 1), true},
		{'BkNo', block(0x10000, 52, 0), true},
		{'BkVr', block(0xFFFF, 52, 1), false},			  // an old version
		{'BkSz', block(0x10000, 48, 0), false},			  // below the minimum size
		{'BkBg', block(0x10000, 0x10000, 1), false},	  // says more than it is
		{'BkCt', block(0x10000, 52, 2), false},			  // a second pair past the end
		{'BkHg', block(0x10000, 52, 0x40000000), false}, // a count whose bytes overflow 32 bits
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fType);
		sBlocks[c.fType] = c.fBlock;
		CComponent* component = MakeTest(c.fType, 'Fam1');
		EXPECT_EQ(VComponentManager::CheckComponentRequirements(component, false), c.fAvailable);
		component->Release();
	}
	EXPECT_EQ(sLive, 0);
}

TEST_F(ComponentManager, ALibraryRegistersItsTypes)
{
	const std::string path = CopyComponentLibrary();
	sRecipes['CmpA'] = {3, {}};
	// A type a creator registered keeps its creator and gets the library.
	ASSERT_EQ(VComponentManager::RegisterComponentCreator('CmpA', MakeTest, false), VE_OK);
	testing::RaisedErrors errors;
	ASSERT_EQ(VComponentManager::RegisterComponentLibrary(FilePath(path)), VE_OK);
	EXPECT_EQ(LibraryCount(path, 'regs'), 1);
	EXPECT_EQ(VComponentManager::RegisterComponentLibrary(FilePath(path)), VE_COMP_ALLREADY_REGISTRED);
	for (OsType type : {'CmpA', 'CmpB', 'CmpC', 'CmpD', 'CmpE'})
		EXPECT_TRUE(VComponentManager::IsComponentAvailable(type));

	CComponent* a = VComponentManager::RetainUniqueComponent('CmpA', 'Fam1', true);
	ASSERT_NE(a, nullptr);
	EXPECT_EQ(sLive, 1); // made by the creator
	a->Release();
	struct Case {
		OsType fType;
		bool fMade;
	};
	const Case cases[] = {{'CmpB', true}, {'CmpC', false}, {'CmpD', false}, {'CmpE', false}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fType);
		CComponent* made = VComponentManager::RetainUniqueComponent(c.fType, 'Fam1', false);
		EXPECT_EQ(made != nullptr, c.fMade);
		if (made != nullptr)
			made->Release();
	}
	EXPECT_EQ(LibraryCount(path, 'live'), 0);

	EXPECT_EQ(VComponentManager::UnRegisterComponentLibrary(FilePath(path)), VE_OK);
	EXPECT_EQ(LibraryCount(path, 'leav'), -1); // unloaded with its last reference
	EXPECT_TRUE(VComponentManager::IsComponentAvailable('CmpA'));
	EXPECT_FALSE(VComponentManager::IsComponentAvailable('CmpB'));
	EXPECT_EQ(VComponentManager::UnRegisterComponentLibrary(FilePath(path)), VE_COMP_PROC_PTR_NULL);
	EXPECT_EQ(errors.Codes(), (std::vector<VError>{VE_COMP_ALLREADY_REGISTRED, VE_COMP_PROC_PTR_NULL}));
}

TEST_F(ComponentManager, ALibraryThatCannotServeIsRefused)
{
	{
		testing::RaisedErrors errors;
		EXPECT_EQ(VComponentManager::RegisterComponentLibrary(FilePath(fTemp / "missing.so")),
				  VE_COMP_CANNOT_LOAD_LIBRARY);
		EXPECT_EQ(errors.Last(), VE_COMP_LIBRARY_NOT_FOUND);
	}
	testing::RaisedErrors errors;
	EXPECT_EQ(VComponentManager::RegisterComponentLibrary(FilePath(kPlainLibrary)), VE_COMP_BAD_LIB_TYPE);
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_COMP_BAD_LIB_TYPE});
}

} // namespace
} // namespace qirn

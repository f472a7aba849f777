#pragma once

// Environment variables set (or removed) for a scope, then put back as they
// were: for tests that put a fake program first on PATH, or take the
// graphical session away.

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qirn::testing {

class ScopedEnvironment {
public:
	ScopedEnvironment() = default;
	~ScopedEnvironment()
	{
		for (auto entry = fSaved.rbegin(); entry != fSaved.rend(); ++entry) {
			if (entry->second)
				::setenv(entry->first.c_str(), entry->second->c_str(), 1);
			else
				::unsetenv(entry->first.c_str());
		}
	}
	ScopedEnvironment(const ScopedEnvironment&) = delete;
	ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

	void Set(const std::string& inName, const std::string& inValue)
	{
		_Save(inName);
		::setenv(inName.c_str(), inValue.c_str(), 1);
	}
	void Remove(const std::string& inName)
	{
		_Save(inName);
		::unsetenv(inName.c_str());
	}

private:
	void _Save(const std::string& inName)
	{
		const char* value = std::getenv(inName.c_str());
		fSaved.emplace_back(inName, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
	}

	std::vector<std::pair<std::string, std::optional<std::string>>> fSaved;
};

} // namespace qirn::testing

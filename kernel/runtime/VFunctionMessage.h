#pragma once

#include "runtime/VMessage.h"

#include <functional>

namespace qirn {

class VTask;

// A message that runs a function on a task. An empty function is refused
// when posted and does nothing if it is ever executed.
class VFunctionMessage : public VMessage {
public:
	explicit VFunctionMessage(std::function<void()>&& inFunction) : fFunction(std::move(inFunction)) {}

	// Queues the function on the task, never running it at once.
	static bool PostFunctionTo(VTask* inTask, std::function<void()>&& inFunction);
	// Posts and executes the caller's messages until the function has run.
	static bool PostToAndWait(VTask* inTask, std::function<void()>&& inFunction);
	static bool PostToAndWait(VTask* inTask, std::function<void()>&& inFunction, int32 inTimeoutMilliseconds);
	// Runs the function on the main task: the main task itself, or any
	// caller that asks with inCallDirectly, runs it at once; others post it.
	static bool PostToMainTask(std::function<void()>&& inFunction, bool inCallDirectly);
	static bool PostToMainTaskAndWait(std::function<void()>&& inFunction, bool inCallDirectly);

protected:
	void DoExecute() override;

private:
	static bool _PostToMainTask(std::function<void()>&& inFunction, bool inCallDirectly, bool inWait);

	std::function<void()> fFunction;
};

} // namespace qirn

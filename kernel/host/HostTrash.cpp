#include "host/HostTrash.h"

#include <cerrno>
#include <gio/gio.h>

namespace qirn::host {

int ErrnoFromGIOError(int inCode)
{
	// clang-format off
	switch (inCode) {
	case G_IO_ERROR_NOT_FOUND:            return ENOENT;
	case G_IO_ERROR_EXISTS:               return EEXIST;
	case G_IO_ERROR_IS_DIRECTORY:         return EISDIR;
	case G_IO_ERROR_NOT_DIRECTORY:        return ENOTDIR;
	case G_IO_ERROR_NOT_EMPTY:            return ENOTEMPTY;
	case G_IO_ERROR_FILENAME_TOO_LONG:    return ENAMETOOLONG;
	case G_IO_ERROR_INVALID_FILENAME:     return EINVAL;
	case G_IO_ERROR_TOO_MANY_LINKS:       return ELOOP;
	case G_IO_ERROR_NO_SPACE:             return ENOSPC;
	case G_IO_ERROR_INVALID_ARGUMENT:     return EINVAL;
	case G_IO_ERROR_PERMISSION_DENIED:    return EACCES;
	case G_IO_ERROR_NOT_SUPPORTED:        return ENOTSUP;
	case G_IO_ERROR_NOT_MOUNTED:          return ENODEV;
	case G_IO_ERROR_READ_ONLY:            return EROFS;
	case G_IO_ERROR_CANCELLED:            return ECANCELED;
	case G_IO_ERROR_TIMED_OUT:            return ETIMEDOUT;
	case G_IO_ERROR_BUSY:                 return EBUSY;
	case G_IO_ERROR_WOULD_BLOCK:          return EAGAIN;
	case G_IO_ERROR_TOO_MANY_OPEN_FILES:  return EMFILE;
	case G_IO_ERROR_NOT_REGULAR_FILE:     return EINVAL;
	case G_IO_ERROR_WOULD_RECURSE:        return EXDEV;
	default:                              return EIO;
	}
	// clang-format on
}

int MoveToTrash(const char* inPath)
{
	if (inPath == nullptr || *inPath == 0)
		return ENOENT;
	GFile* file = g_file_new_for_path(inPath);
	GError* error = nullptr;
	int result = 0;
	if (!g_file_trash(file, nullptr, &error)) {
		result = error != nullptr && error->domain == G_IO_ERROR ? ErrnoFromGIOError(error->code) : EIO;
		if (error != nullptr)
			g_error_free(error);
	}
	g_object_unref(file);
	return result;
}

} // namespace qirn::host

# emscripten.cmake -- toolchain file for the browser version, `make web`: Debian's emscripten.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
# em++ runs Node.js scripts that need Debian's acorn from /usr/share/nodejs, where a Node.js not
# built by Debian does not look: set for the configure step here, for every compile and link below.
set(ENV{NODE_PATH} /usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER /usr/bin/env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER /usr/bin/env NODE_PATH=/usr/share/nodejs)

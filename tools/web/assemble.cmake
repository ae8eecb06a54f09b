# assemble.cmake -- makes the browser version's folder SITE from BUILT/viertal.js and .wasm, the
# page's files in PAGE and the icons in ICONS (tools/web/CMakeLists.txt). The version, 16 hex
# digits of a SHA-256 over every file of the folder, names the script, the module and the page
# script in index.html and sw.js: a browser never runs the script of one build with the module of
# another, and a returning visitor's service worker sees a new build as new.
set(files ${BUILT}/viertal.js ${BUILT}/viertal.wasm ${PAGE}/page.js ${PAGE}/manifest.webmanifest
          ${ICONS}/viertal-48.png ${ICONS}/viertal-192.png ${ICONS}/viertal-512.png)
set(sums "")
foreach(file ${files} ${PAGE}/index.html.in ${PAGE}/sw.js.in)
  file(SHA256 ${file} sum)
  string(APPEND sums ${sum})
endforeach()
string(SHA256 VERSION "${sums}")
string(SUBSTRING ${VERSION} 0 16 VERSION)
file(REMOVE_RECURSE ${SITE})
file(COPY ${files} DESTINATION ${SITE})
configure_file(${PAGE}/index.html.in ${SITE}/index.html @ONLY)
configure_file(${PAGE}/sw.js.in ${SITE}/sw.js @ONLY)

# Settings every target of the project shares: link welarik_common.
add_library(welarik_common INTERFACE)
target_compile_features(welarik_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(welarik_common INTERFACE
    -Wall -Wextra -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor)
target_compile_definitions(welarik_common INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_USE_QSTRINGBUILDER
    QT_DISABLE_DEPRECATED_BEFORE=0x060400)
if(WELARIK_WERROR)
    target_compile_options(welarik_common INTERFACE -Werror)
endif()
if(WELARIK_FORCE_ASSERTS)
    target_compile_definitions(welarik_common INTERFACE QT_FORCE_ASSERTS)
endif()
# Sanitized builds stop at the first fault: a report that lets the run go on can be missed.
if(WELARIK_SANITIZE OR WELARIK_FUZZ)
    set(welarik_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all)
    if(WELARIK_FUZZ)
        # The libraries carry the coverage hooks libFuzzer steers by; only the fuzz targets
        # link the fuzzer's own main (fuzz/CMakeLists.txt).
        list(APPEND welarik_sanitizers -fsanitize=fuzzer-no-link)
    endif()
    target_compile_options(welarik_common INTERFACE ${welarik_sanitizers} -fno-omit-frame-pointer)
    target_link_options(welarik_common INTERFACE ${welarik_sanitizers})
endif()

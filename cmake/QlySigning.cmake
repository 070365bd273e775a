# Signing of the product's programs with osslsigncode (Debian package osslsigncode).
#
# Give the maker's certificate and key (PEM files) to sign a release:
#   cmake -DQLY_SIGNING_CERT=/path/cert.pem -DQLY_SIGNING_KEY=/path/key.pem ...
# Without them, a Windows build makes a throwaway code-signing certificate inside its build
# folder (signing/), so the signed road is the one the tests and the demo take. Either way
# every program file is signed after it is linked, and the certificate goes beside the
# programs as karnoveldahus.cer, which setup offers to trust. QLY_SIGN=OFF builds unsigned
# programs and no certificate: setup then asks no certificate question.
option(QLY_SIGN "Sign the product's programs (with a throwaway certificate unless one is given)" ON)
set(QLY_SIGNING_CERT "" CACHE FILEPATH "The maker's code-signing certificate (PEM)")
set(QLY_SIGNING_KEY "" CACHE FILEPATH "The key of that certificate (PEM)")

set(_qly_can_sign OFF)
if(QLY_WINDOWS AND QLY_SIGN)
    find_program(QLY_OSSLSIGNCODE osslsigncode)
    find_program(QLY_OPENSSL_TOOL openssl)
    if(NOT QLY_OSSLSIGNCODE OR NOT QLY_OPENSSL_TOOL)
        message(WARNING "osslsigncode or openssl not found: the programs are not signed "
                        "(scripts/bootstrap.sh installs both)")
    else()
        if(NOT QLY_SIGNING_CERT OR NOT QLY_SIGNING_KEY)
            set(_dir ${CMAKE_BINARY_DIR}/signing)
            set(QLY_SIGNING_CERT ${_dir}/throwaway_cert.pem)
            set(QLY_SIGNING_KEY ${_dir}/throwaway_key.pem)
            if(NOT EXISTS ${QLY_SIGNING_CERT})
                file(MAKE_DIRECTORY ${_dir})
                execute_process(
                    COMMAND ${QLY_OPENSSL_TOOL} req -x509 -newkey rsa:2048 -nodes -days 3650
                            -subj "/O=KARNOVELDAHUS/CN=KARNOVELDAHUS Quillory test signing"
                            -keyout ${QLY_SIGNING_KEY} -out ${QLY_SIGNING_CERT}
                            -addext "basicConstraints=critical,CA:FALSE"
                            -addext "extendedKeyUsage=codeSigning"
                    RESULT_VARIABLE _made OUTPUT_QUIET ERROR_QUIET)
                if(NOT _made EQUAL 0)
                    message(FATAL_ERROR "openssl could not make the throwaway signing certificate")
                endif()
            endif()
        endif()
        set(_qly_can_sign ON)
        set(QLY_PRODUCT_CERTIFICATE ${CMAKE_BINARY_DIR}/bin/karnoveldahus.cer)
        file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
        execute_process(COMMAND ${QLY_OPENSSL_TOOL} x509 -in ${QLY_SIGNING_CERT} -outform der
                                -out ${QLY_PRODUCT_CERTIFICATE})
    endif()
endif()

# qly_sign(target): signs the target's file after every link (when signing is on).
function(qly_sign target)
    if(NOT _qly_can_sign)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${QLY_OSSLSIGNCODE} sign -certs ${QLY_SIGNING_CERT} -key ${QLY_SIGNING_KEY}
                -n Quillory -h sha256 -in $<TARGET_FILE:${target}>
                -out $<TARGET_FILE:${target}>.signed > /dev/null
        COMMAND ${CMAKE_COMMAND} -E rename $<TARGET_FILE:${target}>.signed $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

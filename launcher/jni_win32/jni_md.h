/* Machine-dependent JNI types of the Windows virtual machine that kxlaunch
   loads. The JDK package here ships only its Linux variant, whose JNICALL
   is empty and whose jint is an int; the runtime's jvm.dll expects these.
   This folder must come before any JDK platform folder on the include
   path; java_vm.h checks that it did. */
/* The JDK's own guard name, reserved or not: a JDK jni_md.h reached after
   this one then adds nothing. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_ /* NOLINT(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp) */

#define KX_JNI_MD_WIN32 1

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong; /* __int64 */
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */

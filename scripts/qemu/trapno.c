/* Preloaded into 32-bit Wine when it runs under qemu-user (scripts/wine-ns).
 *
 * qemu-user leaves the trap number of a guest fault's signal context at -1.
 * Wine's i386 signal handlers pick the Windows exception code from that
 * number, so without this every access violation would reach the program
 * as an illegal instruction, and a division by zero as an invalid float
 * operation. This wraps sigaction for SIGSEGV, SIGILL and SIGFPE and fills
 * in the trap number the kernel itself would have given, before Wine's
 * handler runs. A context that already holds a real number is left alone.
 *
 * Built with -m32 -nostdlib: the few glibc types used are declared here,
 * so no 32-bit development packages are needed. dlsym is resolved from the
 * libc that the Wine loader already has. */

#define KX_SIGILL 4
#define KX_SIGFPE 8
#define KX_SIGSEGV 11
#define KX_SIGNALS 65
#define KX_SA_SIGINFO 4
#define KX_RTLD_NEXT ((void *)-1l)

/* si_code values (Linux) */
#define KX_SEGV_MAPERR 1
#define KX_SEGV_ACCERR 2
#define KX_FPE_INTDIV 1
#define KX_FPE_INTOVF 2

/* i386 trap numbers */
#define KX_TRAP_DIVIDE 0
#define KX_TRAP_PRIVINFLT 6
#define KX_TRAP_PROTFLT 13
#define KX_TRAP_PAGEFLT 14
#define KX_TRAP_ARITHTRAP 16

/* glibc's i386 struct sigaction */
struct kx_sigaction {
  void *handler;
  unsigned long mask[32];
  int flags;
  void (*restorer)(void);
};

/* The start of the i386 siginfo_t and ucontext_t. */
struct kx_siginfo {
  int signo, err, code;
  void *addr;
};
enum { KX_REG_TRAPNO = 12 };
struct kx_ucontext {
  unsigned long flags;
  void *link;
  void *ss_sp;
  int ss_flags;
  unsigned long ss_size;
  int gregs[19];
};

typedef void (*kx_action)(int, struct kx_siginfo *, struct kx_ucontext *);
typedef int (*kx_sigaction_fn)(int, const struct kx_sigaction *, struct kx_sigaction *);

extern void *dlsym(void *, const char *);

static kx_action wine_action[KX_SIGNALS];

static int trap_for(int sig, const struct kx_siginfo *info) {
  switch (sig) {
  case KX_SIGSEGV:
    /* A page fault comes with MAPERR or ACCERR; anything else (SI_KERNEL)
       is how Linux reports a general protection fault. */
    return info->code == KX_SEGV_MAPERR || info->code == KX_SEGV_ACCERR
               ? KX_TRAP_PAGEFLT : KX_TRAP_PROTFLT;
  case KX_SIGILL:
    return KX_TRAP_PRIVINFLT;
  case KX_SIGFPE:
    return info->code == KX_FPE_INTDIV || info->code == KX_FPE_INTOVF
               ? KX_TRAP_DIVIDE : KX_TRAP_ARITHTRAP;
  }
  return -1;
}

static void fix_and_forward(int sig, struct kx_siginfo *info, struct kx_ucontext *uc) {
  int *gregs = uc->gregs;
  /* The error code (present, write, user bits) qemu does fill in, so Wine
     still tells a read from a write fault. */
  if (gregs[KX_REG_TRAPNO] < 0 || gregs[KX_REG_TRAPNO] > 31)
    gregs[KX_REG_TRAPNO] = trap_for(sig, info);
  wine_action[sig](sig, info, uc);
}

int sigaction(int sig, const struct kx_sigaction *act, struct kx_sigaction *old) {
  static kx_sigaction_fn real;
  if (!real)
    real = (kx_sigaction_fn)dlsym(KX_RTLD_NEXT, "sigaction");
  int wrapped = sig == KX_SIGSEGV || sig == KX_SIGILL || sig == KX_SIGFPE;
  if (!wrapped || !act || !(act->flags & KX_SA_SIGINFO))
    return real(sig, act, old);
  struct kx_sigaction mine = *act;
  kx_action previous = wine_action[sig];
  wine_action[sig] = (kx_action)act->handler;
  mine.handler = (void *)fix_and_forward;
  int rc = real(sig, &mine, old);
  if (rc != 0)
    wine_action[sig] = previous;
  else if (old && old->handler == (void *)fix_and_forward)
    old->handler = (void *)previous;
  return rc;
}

"""The guest's Debian packages: fetched with `apt-get download` and unpacked
with `dpkg-deb -x` under build/system, never installed on the host. A package
unpacked once is re-used."""
from pathlib import Path

from .layout import Layout
from .process import CommandError, run

KERNEL_META = "linux-image-armmp:armhf"
APT_SECONDS = 600    # apt-get update and download, on a slow network
LOCAL_SECONDS = 120  # apt-cache, dpkg-deb, depmod


def _kernel_package() -> str:
    """The versioned kernel package the meta package depends on."""
    for attempt in range(2):
        out: str = run(["apt-cache", "depends", KERNEL_META], check=False, timeout=LOCAL_SECONDS).stdout
        for line in out.splitlines():
            word = line.split(":", 1)[-1].strip().removesuffix(":armhf")
            if line.strip().startswith("Depends:") and word.startswith("linux-image-"):
                return word + ":armhf"
        if attempt == 0:
            run(["apt-get", "update", "-qq"], timeout=APT_SECONDS)
    raise RuntimeError(f"apt-cache knows no {KERNEL_META}: is the armhf architecture added "
                       "(scripts/install-deps cross)?")


def _unpacked(layout: Layout, package: str) -> Path:
    """The folder `package` is unpacked in, fetching it when needed."""
    name = package.split(":")[0]
    target = layout.packages / name
    if (target / ".unpacked").exists():
        return target
    layout.debs.mkdir(parents=True, exist_ok=True)
    debs = sorted(layout.debs.glob(f"{name}_*.deb"))
    if not debs:
        download = ["apt-get", "download", "-q", "-o", "APT::Sandbox::User=root", package]
        try:
            run(download, cwd=layout.debs, timeout=APT_SECONDS)
        except CommandError:
            # Package lists older than the archive name versions it no longer has.
            run(["apt-get", "update", "-qq"], timeout=APT_SECONDS)
            run(download, cwd=layout.debs, timeout=APT_SECONDS)
        debs = sorted(layout.debs.glob(f"{name}_*.deb"))
    if not debs:
        raise RuntimeError(f"apt-get download {package} brought no .deb")
    target.mkdir(parents=True, exist_ok=True)
    run(["dpkg-deb", "-x", debs[-1], target], timeout=LOCAL_SECONDS)
    (target / ".unpacked").write_text(debs[-1].name + "\n")
    return target


class Kernel:
    def __init__(self, root: Path, release: str) -> None:
        self.root = root
        self.release = release
        self.image = root / "boot" / f"vmlinuz-{release}"
        self.board_dtb = root / "usr" / "lib" / f"linux-image-{release}" / "vexpress-v2p-ca15-tc1.dtb"
        self.modules = root / "lib" / "modules" / release


def kernel(layout: Layout) -> Kernel:
    """The unpacked guest kernel, its modules indexed by depmod."""
    recorded = layout.packages / "kernel-package"
    package = recorded.read_text().strip() if recorded.exists() else _kernel_package()
    root = _unpacked(layout, package)
    recorded.write_text(package + "\n")
    release = package.split(":")[0].removeprefix("linux-image-")
    found = Kernel(root, release)
    if not (found.modules / "modules.dep").exists():
        run(["depmod", "-b", root, release], timeout=LOCAL_SECONDS)
    return found


def busybox(layout: Layout) -> Path:
    return _unpacked(layout, "busybox-static:armhf") / "bin" / "busybox"


def libc(layout: Layout) -> Path:
    return _unpacked(layout, "libc6:armhf")


def libfuse(layout: Layout) -> Path:
    return _unpacked(layout, "libfuse3-3:armhf")

"""The guest's Debian packages: fetched with `apt-get download` and unpacked
with `dpkg-deb -x` under build/system, never installed on the host. A package
unpacked once is re-used."""
import subprocess

from . import paths

KERNEL_META = "linux-image-armmp:armhf"
OTHERS = ["busybox-static:armhf", "libc6:armhf", "libfuse3-3:armhf"]


def _run(*command, **kwargs):
    return subprocess.run(command, check=True, text=True, **kwargs)


def _kernel_package():
    """The versioned kernel package the meta package depends on."""
    for attempt in range(2):
        out = subprocess.run(["apt-cache", "depends", KERNEL_META], text=True,
                             capture_output=True).stdout
        for line in out.splitlines():
            word = line.split(":", 1)[-1].strip().removesuffix(":armhf")
            if line.strip().startswith("Depends:") and word.startswith("linux-image-"):
                return word + ":armhf"
        if attempt == 0:
            _run("apt-get", "update", "-qq")
    raise RuntimeError(f"apt-cache knows no {KERNEL_META}: is the armhf architecture added "
                       "(scripts/install-deps cross)?")


def _unpacked(package):
    """The folder `package` is unpacked in, fetching it when needed."""
    name = package.split(":")[0]
    target = paths.PACKAGES / name
    if (target / ".unpacked").exists():
        return target
    paths.DEBS.mkdir(parents=True, exist_ok=True)
    debs = sorted(paths.DEBS.glob(f"{name}_*.deb"))
    if not debs:
        download = ["apt-get", "download", "-q", "-o", "APT::Sandbox::User=root", package]
        if subprocess.run(download, cwd=paths.DEBS, stdout=subprocess.DEVNULL).returncode != 0:
            # Package lists older than the archive name versions it no longer has.
            _run("apt-get", "update", "-qq")
            _run(*download, cwd=paths.DEBS, stdout=subprocess.DEVNULL)
        debs = sorted(paths.DEBS.glob(f"{name}_*.deb"))
    if not debs:
        raise RuntimeError(f"apt-get download {package} brought no .deb")
    target.mkdir(parents=True, exist_ok=True)
    _run("dpkg-deb", "-x", str(debs[-1]), str(target))
    (target / ".unpacked").write_text(debs[-1].name + "\n")
    return target


class Kernel:
    def __init__(self, root, release):
        self.root = root
        self.release = release
        self.image = root / "boot" / f"vmlinuz-{release}"
        self.board_dtb = root / "usr" / "lib" / f"linux-image-{release}" / "vexpress-v2p-ca15-tc1.dtb"
        self.modules = root / "lib" / "modules" / release


def kernel():
    """The unpacked guest kernel, its modules indexed by depmod."""
    recorded = paths.PACKAGES / "kernel-package"
    package = recorded.read_text().strip() if recorded.exists() else _kernel_package()
    root = _unpacked(package)
    recorded.write_text(package + "\n")
    release = package.split(":")[0].removeprefix("linux-image-")
    found = Kernel(root, release)
    if not (found.modules / "modules.dep").exists():
        _run("depmod", "-b", str(root), release)
    return found


def busybox():
    return _unpacked("busybox-static:armhf") / "bin" / "busybox"


def libc():
    return _unpacked("libc6:armhf")


def libfuse():
    return _unpacked("libfuse3-3:armhf")

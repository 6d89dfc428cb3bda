#include "web_client.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Download {
    std::FILE* file;
    std::int64_t received = 0;
    std::int64_t limit;
    bool tooLarge = false;
    bool writeFailed = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* context) {
    auto& download = *static_cast<Download*>(context);
    const size_t bytes = size * count;
    download.received += static_cast<std::int64_t>(bytes);
    if (download.received > download.limit) {
        download.tooLarge = true;
        return 0;
    }
    if (std::fwrite(data, 1, bytes, download.file) != bytes) {
        download.writeFailed = true;
        return 0;
    }
    return bytes;
}

} // namespace

TWebClient::TWebClient() {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (initialised != CURLE_OK)
        throw EWebClientError(curl_easy_strerror(initialised));
}

void TWebClient::Get(const std::string& url, const std::string& path) const {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw EWebClientError("Não foi possível iniciar o cliente HTTP");
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw EWebClientError("Não foi possível criar \"" + path + "\"");

    Download download{file.get(), 0, MaxBodySize};
    char errorText[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, static_cast<long>(ConnectTimeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, static_cast<long>(TotalTimeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(curl.get(), CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, static_cast<long>(StallTimeout.count()));
    curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxBodySize));

    const CURLcode result = curl_easy_perform(curl.get());
    if (download.tooLarge)
        throw EWebClientError("O arquivo recebido de " + url + " excede o tamanho máximo");
    if (download.writeFailed)
        throw EWebClientError("Erro ao gravar \"" + path + "\"");
    if (result != CURLE_OK)
        throw EWebClientError(url + ": " + (*errorText ? errorText : curl_easy_strerror(result)));
    if (std::fflush(file.get()) != 0 || std::fclose(file.release()) != 0)
        throw EWebClientError("Erro ao gravar \"" + path + "\"");
}
